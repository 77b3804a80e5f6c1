// HKEY_CLASSES_ROOT on Windows: the real registry.
#include "platform/registry.h"

#include <string>

namespace platform {

namespace {

HRESULT FromStatus(LSTATUS status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

// The registry API wants NUL-terminated names.
std::wstring Terminated(WideStringView text) {
    return std::wstring(text);
}

class OpenKey {
public:
    OpenKey() noexcept = default;
    ~OpenKey() {
        if (key_ != nullptr) ::RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    LSTATUS Open(WideStringView path, REGSAM access) {
        return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, Terminated(path).c_str(), 0, access, &key_);
    }
    LSTATUS Create(WideStringView path) {
        return ::RegCreateKeyExW(HKEY_CLASSES_ROOT, Terminated(path).c_str(), 0, nullptr, 0,
                                 KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    }
    HKEY get() const noexcept { return key_; }

private:
    HKEY key_ = nullptr;
};

LSTATUS SubkeyCount(HKEY key, DWORD& subkeys) {
    return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr);
}

class WindowsRegistry final : public Registry {
public:
    HRESULT CreateKey(WideStringView path) override {
        OpenKey key;
        return FromStatus(key.Create(path));
    }

    HRESULT SetValue(WideStringView path, WideStringView name, WideStringView value) override {
        OpenKey key;
        const LSTATUS opened = key.Open(path, KEY_SET_VALUE);
        if (opened == ERROR_FILE_NOT_FOUND) return REGDB_E_KEYMISSING;
        if (opened != ERROR_SUCCESS) return FromStatus(opened);
        const std::wstring data = Terminated(value);
        const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        return FromStatus(::RegSetValueExW(key.get(), Terminated(name).c_str(), 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(data.c_str()), bytes));
    }

    HRESULT DeleteValue(WideStringView path, WideStringView name) override {
        OpenKey key;
        const LSTATUS opened = key.Open(path, KEY_SET_VALUE);
        if (opened == ERROR_FILE_NOT_FOUND) return S_FALSE;
        if (opened != ERROR_SUCCESS) return FromStatus(opened);
        const LSTATUS deleted = ::RegDeleteValueW(key.get(), Terminated(name).c_str());
        return deleted == ERROR_FILE_NOT_FOUND ? S_FALSE : FromStatus(deleted);
    }

    HRESULT DeleteKey(WideStringView path) override {
        RegistryKeyState state;
        const HRESULT queried = QueryKey(path, state);
        if (FAILED(queried)) return queried;
        if (!state.exists) return S_FALSE;
        if (state.subkeys != 0) return E_ACCESSDENIED;
        const LSTATUS deleted = ::RegDeleteKeyW(HKEY_CLASSES_ROOT, Terminated(path).c_str());
        return deleted == ERROR_FILE_NOT_FOUND ? S_FALSE : FromStatus(deleted);
    }

    HRESULT DeleteTree(WideStringView path) override {
        // An empty path would empty HKEY_CLASSES_ROOT itself.
        if (path.empty()) return E_INVALIDARG;
        const LSTATUS deleted = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, Terminated(path).c_str());
        return deleted == ERROR_FILE_NOT_FOUND ? S_FALSE : FromStatus(deleted);
    }

    HRESULT QueryKey(WideStringView path, RegistryKeyState& state) override {
        state = {};
        OpenKey key;
        const LSTATUS opened = key.Open(path, KEY_READ);
        if (opened == ERROR_FILE_NOT_FOUND) return S_OK;
        if (opened != ERROR_SUCCESS) return FromStatus(opened);
        DWORD subkeys = 0;
        const LSTATUS queried = SubkeyCount(key.get(), subkeys);
        if (queried != ERROR_SUCCESS) return FromStatus(queried);
        state = {true, subkeys};
        return S_OK;
    }

    HRESULT QueryValue(WideStringView path, WideStringView name,
                       std::optional<WideString>& value) override {
        value.reset();
        OpenKey key;
        const LSTATUS opened = key.Open(path, KEY_QUERY_VALUE);
        if (opened == ERROR_FILE_NOT_FOUND) return S_OK;
        if (opened != ERROR_SUCCESS) return FromStatus(opened);
        const std::wstring valueName = Terminated(name);
        // The value may change between the size query and the read: try again when it grew.
        for (int attempt = 0; attempt < 8; ++attempt) {
            DWORD type = 0;
            DWORD bytes = 0;
            LSTATUS status =
                ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &bytes);
            if (status == ERROR_FILE_NOT_FOUND) return S_OK;
            if (status != ERROR_SUCCESS) return FromStatus(status);
            if (type != REG_SZ && type != REG_EXPAND_SZ) {
                return HRESULT_FROM_WIN32(ERROR_INVALID_DATATYPE);
            }
            std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
            bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
            status = ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type,
                                        reinterpret_cast<BYTE*>(data.data()), &bytes);
            if (status == ERROR_MORE_DATA) continue;
            if (status != ERROR_SUCCESS) return FromStatus(status);
            // A stored string need not end in NUL; it ends at the first one or at its size.
            data.resize(bytes / sizeof(wchar_t));
            const std::size_t end = data.find(L'\0');
            if (end != std::wstring::npos) data.resize(end);
            value = WideString(data);
            return S_OK;
        }
        return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
    }
};

}  // namespace

Registry& ClassesRoot() {
    static WindowsRegistry registry;
    return registry;
}

}  // namespace platform
