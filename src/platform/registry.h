// The part of the system registry that in-process servers register under: keys below
// HKEY_CLASSES_ROOT with string values. Windows: the real registry. Linux: the store file of
// platform/posix/registry_store.h, where the COM runtime looks classes up.
//
//   platform::Registry& classes = platform::ClassesRoot();
//   RETURN_IF_FAILED(classes.CreateKey(WIDE("CLSID\\{...}\\InprocServer32")));
//   RETURN_IF_FAILED(classes.SetValue(WIDE("CLSID\\{...}\\InprocServer32"),
//                                     WIDE("ThreadingModel"), WIDE("Apartment")));
//
// Paths are relative to HKEY_CLASSES_ROOT with '\' between key names; names compare without
// regard to case. An empty value name is the key's default value. The interface is abstract so
// that code writing the registry can be tested against a double.
#pragma once

#include <cstddef>
#include <optional>

#include "platform/com.h"

namespace platform {

struct RegistryKeyState {
    bool exists = false;
    std::size_t subkeys = 0;
};

class Registry {
public:
    virtual ~Registry() = default;

    // Creates the key and any missing parent; S_OK also when it exists.
    virtual HRESULT CreateKey(WideStringView path) = 0;
    // Sets a string value of an existing key; REGDB_E_KEYMISSING when the key does not exist.
    virtual HRESULT SetValue(WideStringView path, WideStringView name, WideStringView value) = 0;
    // S_FALSE when there was no such value or key.
    virtual HRESULT DeleteValue(WideStringView path, WideStringView name) = 0;
    // Deletes a key without subkeys, with its values; S_FALSE when absent, E_ACCESSDENIED while
    // it has subkeys.
    virtual HRESULT DeleteKey(WideStringView path) = 0;
    // Deletes a key with everything below it; S_FALSE when absent.
    virtual HRESULT DeleteTree(WideStringView path) = 0;

    virtual HRESULT QueryKey(WideStringView path, RegistryKeyState& state) = 0;
    // value is empty when the key or the value does not exist; a value that is not a string is
    // an error.
    virtual HRESULT QueryValue(WideStringView path, WideStringView name,
                               std::optional<WideString>& value) = 0;

protected:
    Registry() = default;
    Registry(const Registry&) = default;
    Registry& operator=(const Registry&) = default;
};

// HKEY_CLASSES_ROOT of the system (of the user's store on Linux).
Registry& ClassesRoot();

}  // namespace platform
