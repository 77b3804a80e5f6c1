// Loading modules on Linux.
#include <dlfcn.h>

#include "platform/dynamic_library.h"

namespace platform {

DynamicLibrary DynamicLibrary::Load(const std::string& path) {
    DynamicLibrary library;
    library.handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return library;
}

bool DynamicLibrary::IsLoaded(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    ::dlclose(handle);  // drops the count that the probe added
    return true;
}

void DynamicLibrary::Unload() noexcept {
    if (handle_ != nullptr) ::dlclose(handle_);
    handle_ = nullptr;
}

DynamicLibrary::AnyFunction DynamicLibrary::Address(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<AnyFunction>(::dlsym(handle_, name));
}

DynamicLibrary::AnyFunction DynamicLibrary::AddressAt(unsigned) const {
    return nullptr;
}

}  // namespace platform
