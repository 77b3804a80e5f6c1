// The module's own image on Linux: the shared object that holds an address, found with dladdr.
#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/module_image.h"
#include "platform/text.h"

namespace platform {

ModuleHandle ModuleOfAddress(const void* address) noexcept {
    Dl_info info{};
    if (::dladdr(address, &info) == 0) return nullptr;
    return info.dli_fbase;
}

WideString ModuleFileName(ModuleHandle module) {
    Dl_info info{};
    if (module == nullptr || ::dladdr(module, &info) == 0 || info.dli_fname == nullptr ||
        info.dli_fbase != module) {
        return {};
    }
    // The loader keeps the name it was given, which may be relative; registration needs the
    // full path.
    const std::unique_ptr<char, decltype(&std::free)> full(::realpath(info.dli_fname, nullptr),
                                                           &std::free);
    if (!full) return {};
    return AnsiToWide(full.get());
}

std::optional<std::string_view> FindModuleResource(ModuleHandle, const WCHAR*, int) {
    return std::nullopt;
}

void DisableThreadNotifications(ModuleHandle) noexcept {}

}  // namespace platform
