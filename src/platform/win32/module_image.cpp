// The module's own image on Windows.
#include <string>

#include "platform/module_image.h"

namespace platform {

ModuleHandle ModuleOfAddress(const void* address) noexcept {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(address), &module)) {
        return nullptr;
    }
    return module;
}

WideString ModuleFileName(ModuleHandle module) {
    // GetModuleFileNameW cuts a long path to the buffer without failing: grow until it fits.
    std::wstring path(MAX_PATH, L'\0');
    while (path.size() <= 32768) {
        const DWORD length =
            ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
    return {};
}

std::optional<std::string_view> FindModuleResource(ModuleHandle module, const WCHAR* type, int id) {
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (resource == nullptr) return std::nullopt;
    HGLOBAL loaded = ::LoadResource(module, resource);
    if (loaded == nullptr) return std::nullopt;
    const void* data = ::LockResource(loaded);
    const DWORD size = ::SizeofResource(module, resource);
    if (data == nullptr) return std::nullopt;
    return std::string_view(static_cast<const char*>(data), size);
}

void DisableThreadNotifications(ModuleHandle module) noexcept {
    ::DisableThreadLibraryCalls(module);
}

}  // namespace platform
