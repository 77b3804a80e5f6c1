#include "protocol/pending_request_table.h"

bool PendingRequestTable::Add(ULONG messageId) {
    platform::CriticalSectionGuard guard(tableLock);
    return ids.insert(messageId).second;
}

bool PendingRequestTable::Remove(ULONG messageId) {
    platform::CriticalSectionGuard guard(tableLock);
    return ids.erase(messageId) != 0;
}

void PendingRequestTable::Clear() {
    std::set<ULONG> emptied;
    {
        platform::CriticalSectionGuard guard(tableLock);
        emptied.swap(ids);
    }
}

bool PendingRequestTable::Contains(ULONG messageId) const {
    platform::CriticalSectionGuard guard(tableLock);
    return ids.count(messageId) != 0;
}

std::size_t PendingRequestTable::Size() const {
    platform::CriticalSectionGuard guard(tableLock);
    return ids.size();
}
