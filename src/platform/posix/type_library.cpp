// Type-library registration on Linux: the keys that Windows writes for a registered library,
// written from the library's identity, naming the module as the library's file.
#include <cstdio>

#include "platform/registry.h"
#include "platform/result_macros.h"
#include "platform/text.h"
#include "platform/type_library.h"

namespace platform {

namespace {

struct LibraryKeys {
    WideString version;  // TypeLib\{libid}\<major>.<minor>
    WideString locale;   // ...\<lcid>
    WideString file;     // ...\<lcid>\win64
};

WideString Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return AnsiToWide(text);
}

WideString LibraryKey(const GUID& libid) {
    OLECHAR text[39];
    StringFromGUID2(libid, text, 39);
    return WideString(WIDE("TypeLib\\")) + text;
}

// Version and locale in hexadecimal, as RegisterTypeLib names them.
LibraryKeys KeysOf(const TypeLibraryIdentity& identity) {
    LibraryKeys keys;
    keys.version = LibraryKey(identity.libid) + WIDE("\\") + Hex(identity.majorVersion) +
                   WIDE(".") + Hex(identity.minorVersion);
    keys.locale = keys.version + WIDE("\\") + Hex(identity.locale);
    keys.file = keys.locale + WIDE("\\win64");
    return keys;
}

WideString Directory(WideStringView path) {
    const std::size_t slash = path.rfind(u'/');
    if (slash == WideStringView::npos) return {};
    return WideString(path.substr(0, slash == 0 ? 1 : slash));
}

// Deletes a key that nothing else lives below any more.
HRESULT DeleteIfEmpty(Registry& registry, WideStringView path) {
    RegistryKeyState state;
    RETURN_IF_FAILED(registry.QueryKey(path, state));
    if (!state.exists || state.subkeys != 0) return S_OK;
    return registry.DeleteKey(path);
}

}  // namespace

HRESULT RegisterModuleTypeLibrary(WideStringView modulePath, const TypeLibraryIdentity& identity) {
    Registry& registry = ClassesRoot();
    const LibraryKeys keys = KeysOf(identity);
    const WideString flags = keys.version + WIDE("\\FLAGS");
    const WideString helpDirectory = keys.version + WIDE("\\HELPDIR");
    RETURN_IF_FAILED(registry.CreateKey(keys.version));
    RETURN_IF_FAILED(registry.SetValue(keys.version, {}, WideView(identity.helpString)));
    RETURN_IF_FAILED(registry.CreateKey(keys.file));
    RETURN_IF_FAILED(registry.SetValue(keys.file, {}, modulePath));
    RETURN_IF_FAILED(registry.CreateKey(flags));
    RETURN_IF_FAILED(registry.SetValue(flags, {}, Hex(identity.flags)));
    RETURN_IF_FAILED(registry.CreateKey(helpDirectory));
    return registry.SetValue(helpDirectory, {}, Directory(modulePath));
}

HRESULT UnregisterModuleTypeLibrary(WideStringView, const TypeLibraryIdentity& identity) {
    Registry& registry = ClassesRoot();
    const LibraryKeys keys = KeysOf(identity);
    RETURN_IF_FAILED(registry.DeleteKey(keys.file));
    RETURN_IF_FAILED(DeleteIfEmpty(registry, keys.locale));
    RETURN_IF_FAILED(registry.DeleteKey(keys.version + WIDE("\\FLAGS")));
    RETURN_IF_FAILED(registry.DeleteKey(keys.version + WIDE("\\HELPDIR")));
    RETURN_IF_FAILED(DeleteIfEmpty(registry, keys.version));
    return DeleteIfEmpty(registry, LibraryKey(identity.libid));
}

}  // namespace platform
