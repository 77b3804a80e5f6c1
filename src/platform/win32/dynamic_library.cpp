// Loading modules on Windows.
#include <string>

#include "platform/com.h"
#include "platform/dynamic_library.h"

namespace platform {

namespace {

std::wstring WindowsPath(const std::string& path) {
    std::string windowsPath = path;
    for (char& c : windowsPath) {
        if (c == '/') c = '\\';
    }
    const int length = ::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

}  // namespace

DynamicLibrary DynamicLibrary::Load(const std::string& path) {
    DynamicLibrary library;
    library.handle_ = ::LoadLibraryW(WindowsPath(path).c_str());
    return library;
}

bool DynamicLibrary::IsLoaded(const std::string& path) {
    return ::GetModuleHandleW(WindowsPath(path).c_str()) != nullptr;
}

void DynamicLibrary::Unload() noexcept {
    if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

DynamicLibrary::AnyFunction DynamicLibrary::Address(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<AnyFunction>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

DynamicLibrary::AnyFunction DynamicLibrary::AddressAt(unsigned ordinal) const {
    if (handle_ == nullptr || ordinal > 0xFFFF) return nullptr;
    return reinterpret_cast<AnyFunction>(
        ::GetProcAddress(static_cast<HMODULE>(handle_), MAKEINTRESOURCEA(ordinal)));
}

}  // namespace platform
