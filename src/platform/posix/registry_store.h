// The registry of Linux: the keys below HKEY_CLASSES_ROOT that in-process servers register, kept
// in one store file that every process of the user shares. Part of the COM runtime library
// (libvorn_com.so), which finds classes through it; the registrar writes it through
// platform/registry.h.
//
//   RegistryTree tree;
//   RETURN_IF_FAILED(RegistryFile::Read(tree));
//   std::optional<std::string> path;
//   RETURN_IF_FAILED(tree.QueryValue("CLSID\\{...}\\InprocServer32", "", path));
//
//   RETURN_IF_FAILED(RegistryFile::Update([](RegistryTree& tree) {
//       return tree.SetValue("CLSID\\{...}", "", "Class");   // saved only if this succeeds
//   }));
//
// Paths name keys below the root with '\' between key names; the empty path is the root. Key
// and value names compare without regard to ASCII case and keep the case they were created
// with, as on Windows; an empty value name is the key's default value. Text is UTF-8.
//
// The file lives where VORN_REGISTRY_FILE says, else at $XDG_DATA_HOME/vorn/registry (with
// ~/.local/share for an unset XDG_DATA_HOME). It is rewritten whole for every change, into a
// temporary file that then replaces it, so a crash leaves the old or the new contents and never
// a mix; an advisory lock on "<file>.lock" keeps the read-modify-write of concurrent processes
// apart. A file that does not parse is never overwritten: reads and updates fail with
// REGDB_E_READREGDB until someone repairs or removes it.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/com_api.h"

namespace platform::posix {

struct RegistryKeyInfo {
    bool exists = false;
    std::size_t subkeys = 0;
};

class VORN_COM_API RegistryTree {
public:
    RegistryTree();
    ~RegistryTree();
    RegistryTree(RegistryTree&&) noexcept;
    RegistryTree& operator=(RegistryTree&&) noexcept;
    RegistryTree(const RegistryTree&) = delete;
    RegistryTree& operator=(const RegistryTree&) = delete;

    // Every operation refuses a malformed path (an empty key name, "a\\\\b" or a leading or
    // trailing '\') and one deeper than 512 keys with E_INVALIDARG.

    // Creates the key and any missing parent; S_OK also when it exists.
    HRESULT CreateKey(std::string_view path);
    // Sets a value of an existing key (not of the root); the key must exist.
    HRESULT SetValue(std::string_view path, std::string_view name, std::string_view value);
    // S_FALSE when there was no such value or key.
    HRESULT DeleteValue(std::string_view path, std::string_view name);
    // Deletes a key without subkeys, values and all; S_FALSE when absent, E_ACCESSDENIED (as
    // Windows answers) while it has subkeys.
    HRESULT DeleteKey(std::string_view path);
    // Deletes a key and everything below it; S_FALSE when absent.
    HRESULT DeleteTree(std::string_view path);

    HRESULT QueryKey(std::string_view path, RegistryKeyInfo& info) const;
    // value is empty when the key or the value does not exist.
    HRESULT QueryValue(std::string_view path, std::string_view name,
                       std::optional<std::string>& value) const;

    // The store file's text, and back. Parse fails (nullopt) on anything it did not write.
    std::string Serialise() const;
    static std::optional<RegistryTree> Parse(std::string_view text);

private:
    struct Key;
    HRESULT RemoveKey(std::string_view path, bool withSubkeys);

    std::unique_ptr<Key> root_;
};

class VORN_COM_API RegistryFile {
public:
    // Where the store file is (see above); empty when neither variable nor home is known.
    static std::string Location();

    // The whole store; an absent file is an empty registry. REGDB_E_READREGDB when the file
    // cannot be read or does not parse.
    static HRESULT Read(RegistryTree& tree);

    // Reads the store, applies `change` and, if it succeeded, writes the result back, all under
    // the store's lock. Returns what `change` returned, or REGDB_E_READREGDB /
    // REGDB_E_WRITEREGDB when the store could not be read or written (then nothing changed).
    static HRESULT Update(const std::function<HRESULT(RegistryTree&)>& change);
};

}  // namespace platform::posix
