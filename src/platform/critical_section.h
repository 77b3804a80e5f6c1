// An in-process lock and the scope-bound guard that is the only way to enter it, so a lock is
// left on every path, including an exception:
//
//   platform::CriticalSection tableLock;
//   std::set<ULONG> table GUARDED_BY(tableLock);
//   { platform::CriticalSectionGuard guard(tableLock); table.insert(id); }
#pragma once

#include <mutex>

#include "platform/thread_annotations.h"

namespace platform {

class CAPABILITY("mutex") CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() ACQUIRE() { mutex_.lock(); }
    void Leave() RELEASE() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

class SCOPED_CAPABILITY CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CriticalSection& section) ACQUIRE(section) : section_(section) {
        section_.Enter();
    }
    ~CriticalSectionGuard() RELEASE() { section_.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CriticalSection& section_;
};

}  // namespace platform
