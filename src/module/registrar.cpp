#include "module/registrar.h"

#include <new>
#include <optional>
#include <vector>

#include "platform/result_macros.h"

namespace module {

namespace {

using platform::Registry;
using platform::WideString;
using platform::WideStringView;

WideString Join(WideStringView parent, WideStringView name) {
    WideString path(parent);
    if (!path.empty()) path += WIDE('\\');
    path += name;
    return path;
}

// One registration pass, recording what it changes so that a failure can be undone.
class RegistrationPass {
public:
    explicit RegistrationPass(Registry& registry) noexcept : registry_(registry) {}

    HRESULT Run(const std::vector<ScriptKey>& keys) {
        HRESULT hr = S_OK;
        try {
            for (const ScriptKey& key : keys) {
                hr = RegisterKey({}, key);
                if (FAILED(hr)) break;
            }
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
        if (FAILED(hr)) Undo();
        return hr;
    }

private:
    struct OverwrittenValue {
        WideString path;
        WideString name;
        std::optional<WideString> before;
    };

    HRESULT RegisterKey(WideStringView parent, const ScriptKey& key) {
        const WideString path = Join(parent, key.name);
        if (key.removal == ScriptKey::Removal::ForceRemove) {
            RETURN_IF_FAILED(registry_.DeleteTree(path));
        }
        // Each change goes into the journal before it is made, so that one that fails half-way
        // (or runs out of memory) is still undone.
        platform::RegistryKeyState state;
        RETURN_IF_FAILED(registry_.QueryKey(path, state));
        if (!state.exists) {
            createdKeys_.push_back(path);
            RETURN_IF_FAILED(registry_.CreateKey(path));
        }
        for (const ScriptValue& value : key.values) {
            // Values of a key this pass created go with the key; others are put back.
            if (state.exists) {
                OverwrittenValue overwritten{path, value.name, std::nullopt};
                RETURN_IF_FAILED(registry_.QueryValue(path, value.name, overwritten.before));
                overwrittenValues_.push_back(std::move(overwritten));
            }
            RETURN_IF_FAILED(registry_.SetValue(path, value.name, value.data));
        }
        for (const ScriptKey& subkey : key.subkeys) RETURN_IF_FAILED(RegisterKey(path, subkey));
        return S_OK;
    }

    // Best effort, step by step: a registry that just failed may fail again, and what can be
    // undone is.
    void Undo() noexcept {
        for (auto it = overwrittenValues_.rbegin(); it != overwrittenValues_.rend(); ++it) {
            Attempt([&] {
                if (it->before) {
                    registry_.SetValue(it->path, it->name, *it->before);
                } else {
                    registry_.DeleteValue(it->path, it->name);
                }
            });
        }
        for (auto it = createdKeys_.rbegin(); it != createdKeys_.rend(); ++it) {
            Attempt([&] { registry_.DeleteTree(*it); });
        }
    }

    template <class Step>
    static void Attempt(Step step) noexcept {
        try {
            step();
        } catch (const std::bad_alloc&) {
        }
    }

    Registry& registry_;
    std::vector<WideString> createdKeys_;  // in creation order, parents first
    std::vector<OverwrittenValue> overwrittenValues_;
};

class UnregistrationPass {
public:
    explicit UnregistrationPass(Registry& registry) noexcept : registry_(registry) {}

    HRESULT Run(const std::vector<ScriptKey>& keys) {
        for (const ScriptKey& key : keys) UnregisterKey({}, key);
        return result_;
    }

private:
    void Note(HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(result_)) result_ = hr;
    }

    void UnregisterKey(WideStringView parent, const ScriptKey& key) {
        const WideString path = Join(parent, key.name);
        if (key.removal == ScriptKey::Removal::ForceRemove) {
            Note(registry_.DeleteTree(path));
            return;
        }
        for (const ScriptKey& subkey : key.subkeys) UnregisterKey(path, subkey);
        for (const ScriptValue& value : key.values) {
            if (!value.name.empty()) Note(registry_.DeleteValue(path, value.name));
        }
        if (key.removal == ScriptKey::Removal::NoRemove) return;
        platform::RegistryKeyState state;
        const HRESULT queried = registry_.QueryKey(path, state);
        Note(queried);
        if (SUCCEEDED(queried) && state.exists && state.subkeys == 0) {
            Note(registry_.DeleteKey(path));
        }
    }

    Registry& registry_;
    HRESULT result_ = S_OK;
};

}  // namespace

void Registrar::AddReplacement(WideStringView name, WideStringView value) {
    replacements_[WideString(name)] = WideString(value);
}

HRESULT Registrar::Parse(WideStringView script, std::vector<ScriptKey>& keys) const {
    WideString substituted;
    RETURN_IF_FAILED(SubstituteReplacements(script, replacements_, substituted));
    return ParseRegistryScript(substituted, keys);
}

HRESULT Registrar::Register(WideStringView script) noexcept {
    try {
        std::vector<ScriptKey> keys;
        RETURN_IF_FAILED(Parse(script, keys));
        return RegistrationPass(registry_).Run(keys);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Registrar::Unregister(WideStringView script) noexcept {
    try {
        std::vector<ScriptKey> keys;
        RETURN_IF_FAILED(Parse(script, keys));
        return UnregistrationPass(registry_).Run(keys);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace module
