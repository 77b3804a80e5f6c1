#include "stack/catalog_store.h"

namespace stack {

void CatalogStore::CreateSection(platform::WideStringView section) {
    std::lock_guard<std::mutex> guard(lock_);
    sections_.try_emplace(platform::WideString(section));
}

bool CatalogStore::HasSection(platform::WideStringView section) const {
    std::lock_guard<std::mutex> guard(lock_);
    return sections_.find(section) != sections_.end();
}

bool CatalogStore::SetEntry(platform::WideStringView section, platform::WideStringView key,
                            platform::WideStringView value) {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = sections_.find(section);
    if (found == sections_.end()) return false;
    found->second.insert_or_assign(platform::WideString(key), platform::WideString(value));
    return true;
}

bool CatalogStore::RemoveEntry(platform::WideStringView section, platform::WideStringView key) {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = sections_.find(section);
    if (found == sections_.end()) return false;
    auto entry = found->second.find(key);
    if (entry == found->second.end()) return false;
    found->second.erase(entry);
    return true;
}

std::optional<platform::WideString> CatalogStore::Entry(platform::WideStringView section,
                                                        platform::WideStringView key) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = sections_.find(section);
    if (found == sections_.end()) return std::nullopt;
    auto entry = found->second.find(key);
    if (entry == found->second.end()) return std::nullopt;
    return entry->second;
}

void CatalogStore::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    sections_.clear();
}

}  // namespace stack
