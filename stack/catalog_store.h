// The component catalog's contents: sections of key/value entries, all wide text compared
// exactly. One store per process (in the environment), so that every catalog object sees what
// another one wrote, as a persistent catalog would.
#pragma once

#include <map>
#include <mutex>
#include <optional>

#include "platform/com.h"

namespace stack {

class CatalogStore {
public:
    void CreateSection(platform::WideStringView section);
    bool HasSection(platform::WideStringView section) const;
    // False when the section does not exist.
    bool SetEntry(platform::WideStringView section, platform::WideStringView key,
                  platform::WideStringView value);
    // False when there was no such entry.
    bool RemoveEntry(platform::WideStringView section, platform::WideStringView key);
    std::optional<platform::WideString> Entry(platform::WideStringView section,
                                              platform::WideStringView key) const;
    void Clear();

private:
    using Section = std::map<platform::WideString, platform::WideString, std::less<>>;
    mutable std::mutex lock_;
    std::map<platform::WideString, Section, std::less<>> sections_;  // guarded by lock_
};

}  // namespace stack
