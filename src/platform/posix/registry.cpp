// HKEY_CLASSES_ROOT on Linux: every operation is one update (or read) of the store file.
#include "platform/registry.h"

#include "platform/posix/registry_store.h"
#include "platform/result_macros.h"
#include "platform/text.h"

namespace platform {

namespace {

using posix::RegistryFile;
using posix::RegistryTree;

class StoreRegistry final : public Registry {
public:
    HRESULT CreateKey(WideStringView path) override {
        const std::string key = WideToAnsi(path);
        return RegistryFile::Update([&](RegistryTree& tree) { return tree.CreateKey(key); });
    }
    HRESULT SetValue(WideStringView path, WideStringView name, WideStringView value) override {
        const std::string key = WideToAnsi(path);
        const std::string valueName = WideToAnsi(name);
        const std::string data = WideToAnsi(value);
        return RegistryFile::Update(
            [&](RegistryTree& tree) { return tree.SetValue(key, valueName, data); });
    }
    HRESULT DeleteValue(WideStringView path, WideStringView name) override {
        const std::string key = WideToAnsi(path);
        const std::string valueName = WideToAnsi(name);
        return RegistryFile::Update(
            [&](RegistryTree& tree) { return tree.DeleteValue(key, valueName); });
    }
    HRESULT DeleteKey(WideStringView path) override {
        const std::string key = WideToAnsi(path);
        return RegistryFile::Update([&](RegistryTree& tree) { return tree.DeleteKey(key); });
    }
    HRESULT DeleteTree(WideStringView path) override {
        const std::string key = WideToAnsi(path);
        return RegistryFile::Update([&](RegistryTree& tree) { return tree.DeleteTree(key); });
    }
    HRESULT QueryKey(WideStringView path, RegistryKeyState& state) override {
        state = {};
        RegistryTree tree;
        RETURN_IF_FAILED(RegistryFile::Read(tree));
        posix::RegistryKeyInfo info;
        RETURN_IF_FAILED(tree.QueryKey(WideToAnsi(path), info));
        state = {info.exists, info.subkeys};
        return S_OK;
    }
    HRESULT QueryValue(WideStringView path, WideStringView name,
                       std::optional<WideString>& value) override {
        value.reset();
        RegistryTree tree;
        RETURN_IF_FAILED(RegistryFile::Read(tree));
        std::optional<std::string> text;
        RETURN_IF_FAILED(tree.QueryValue(WideToAnsi(path), WideToAnsi(name), text));
        if (text) value = AnsiToWide(*text);
        return S_OK;
    }
};

}  // namespace

Registry& ClassesRoot() {
    static StoreRegistry registry;
    return registry;
}

}  // namespace platform
