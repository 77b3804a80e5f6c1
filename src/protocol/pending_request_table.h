// The message ids of commands that were sent with a response required and whose reply has not
// arrived yet, one table per protocol object. It guards itself with tableLock, which is held
// only while the table is read or changed, never while anything outside the table is called.
#pragma once

#include <cstddef>
#include <set>

#include "platform/com.h"
#include "platform/critical_section.h"

class PendingRequestTable {
public:
    // True when this call entered the id; an id already pending stays one entry. Throws, adding
    // nothing, if memory runs out.
    bool Add(ULONG messageId) EXCLUDES(tableLock);
    // True when the id was pending; lookup and removal happen under one holding of the lock, so
    // of two replies with the same id exactly one finds it.
    bool Remove(ULONG messageId) EXCLUDES(tableLock);
    void Clear() EXCLUDES(tableLock);
    bool Contains(ULONG messageId) const EXCLUDES(tableLock);
    std::size_t Size() const EXCLUDES(tableLock);

private:
    mutable platform::CriticalSection tableLock;
    std::set<ULONG> ids GUARDED_BY(tableLock);  // balanced ordered tree keyed by the id
};
