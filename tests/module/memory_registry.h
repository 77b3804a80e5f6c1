// An in-memory platform::Registry for registrar tests: the whole contents can be listed and
// compared, and the n-th write (create, set, delete) can be made to fail.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace module_testing {

class MemoryRegistry final : public platform::Registry {
public:
    // One line per key ("KEY a\b") and per value ("VAL a\b|name=data"), sorted; key paths and
    // value names as created. The compact form makes whole-registry comparisons readable.
    std::vector<std::string> Contents() const {
        std::vector<std::string> lines;
        for (const auto& [folded, key] : keys_) {
            lines.push_back("KEY " + platform::WideToAnsi(key.path));
            for (const auto& [foldedName, value] : key.values) {
                lines.push_back("VAL " + platform::WideToAnsi(key.path) + "|" +
                                platform::WideToAnsi(value.first) + "=" +
                                platform::WideToAnsi(value.second));
            }
        }
        return lines;
    }

    // The n-th write from now fails with `failure` (0: none).
    void FailWrite(int n, HRESULT failure = E_ACCESSDENIED) {
        writesToFailure_ = n;
        failure_ = failure;
    }
    int Writes() const { return writes_; }

    HRESULT CreateKey(platform::WideStringView path) override {
        if (ShouldFail()) return failure_;
        platform::WideString partial;
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t end = path.find(WIDE('\\'), start);
            if (end == platform::WideStringView::npos) end = path.size();
            if (end == start) return E_INVALIDARG;
            partial = platform::WideString(path.substr(0, end));
            keys_.try_emplace(Fold(partial), Key{partial, {}});
            start = end + 1;
        }
        return S_OK;
    }
    HRESULT SetValue(platform::WideStringView path, platform::WideStringView name,
                     platform::WideStringView value) override {
        if (ShouldFail()) return failure_;
        Key* key = Find(path);
        if (key == nullptr) return REGDB_E_KEYMISSING;
        auto [it, added] = key->values.try_emplace(Fold(name), platform::WideString(name),
                                                   platform::WideString(value));
        if (!added) it->second.second = platform::WideString(value);
        return S_OK;
    }
    HRESULT DeleteValue(platform::WideStringView path, platform::WideStringView name) override {
        if (ShouldFail()) return failure_;
        Key* key = Find(path);
        if (key == nullptr) return S_FALSE;
        return key->values.erase(Fold(name)) == 1 ? S_OK : S_FALSE;
    }
    HRESULT DeleteKey(platform::WideStringView path) override {
        if (ShouldFail()) return failure_;
        if (Find(path) == nullptr) return S_FALSE;
        if (SubkeyCount(path) != 0) return E_ACCESSDENIED;
        keys_.erase(Fold(path));
        return S_OK;
    }
    HRESULT DeleteTree(platform::WideStringView path) override {
        if (ShouldFail()) return failure_;
        if (Find(path) == nullptr) return S_FALSE;
        const platform::WideString prefix = Fold(path) + WIDE('\\');
        std::erase_if(keys_, [&](const auto& entry) {
            return entry.first == Fold(path) || entry.first.starts_with(prefix);
        });
        return S_OK;
    }
    HRESULT QueryKey(platform::WideStringView path, platform::RegistryKeyState& state) override {
        state = {};
        if (Find(path) != nullptr) state = {true, SubkeyCount(path)};
        return S_OK;
    }
    HRESULT QueryValue(platform::WideStringView path, platform::WideStringView name,
                       std::optional<platform::WideString>& value) override {
        value.reset();
        if (const Key* key = Find(path)) {
            if (auto it = key->values.find(Fold(name)); it != key->values.end()) {
                value = it->second.second;
            }
        }
        return S_OK;
    }

private:
    struct Key {
        platform::WideString path;
        // folded name -> (name, data)
        std::map<platform::WideString, std::pair<platform::WideString, platform::WideString>>
            values;
    };

    static platform::WideString Fold(platform::WideStringView text) {
        platform::WideString folded(text);
        for (WCHAR& c : folded) {
            if (c >= WIDE('a') && c <= WIDE('z')) c = static_cast<WCHAR>(c - WIDE('a') + WIDE('A'));
        }
        return folded;
    }

    Key* Find(platform::WideStringView path) {
        auto it = keys_.find(Fold(path));
        return it == keys_.end() ? nullptr : &it->second;
    }

    std::size_t SubkeyCount(platform::WideStringView path) const {
        const platform::WideString prefix = Fold(path) + WIDE('\\');
        std::size_t count = 0;
        for (const auto& [folded, key] : keys_) {
            if (folded.starts_with(prefix) &&
                folded.find(WIDE('\\'), prefix.size()) == platform::WideString::npos) {
                ++count;
            }
        }
        return count;
    }

    bool ShouldFail() {
        ++writes_;
        return writesToFailure_ > 0 && --writesToFailure_ == 0;
    }

    std::map<platform::WideString, Key> keys_;  // by folded full path
    int writes_ = 0;
    int writesToFailure_ = 0;
    HRESULT failure_ = E_ACCESSDENIED;
};

}  // namespace module_testing
