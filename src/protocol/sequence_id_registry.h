// Sequence ids of VORN frames, counted per lower layer across all protocol objects of the
// process: consecutive frames handed to one lower layer carry consecutive 8-bit ids (0, 1, ...
// 255, 0, ...) whichever object built them. One registry exists while at least one protocol
// object exists; each object acquires it at construction and releases it at destruction.
//
//   SequenceIdRegistry* ids = AcquireRegistry();   // may throw when memory is exhausted
//   BYTE id = ids->NextId(reinterpret_cast<std::uintptr_t>(lowerLayer));
//   ReleaseRegistry();
#pragma once

#include <cstdint>
#include <map>

#include "platform/com.h"
#include "platform/critical_section.h"

class SequenceIdRegistry {
public:
    SequenceIdRegistry() = default;
    virtual ~SequenceIdRegistry() = default;
    SequenceIdRegistry(const SequenceIdRegistry&) = delete;
    SequenceIdRegistry& operator=(const SequenceIdRegistry&) = delete;

    // The next id for the lower layer identified by key: 0 the first time a key is seen, then
    // one more each call, modulo 256. Throws, issuing no id, if memory runs out for a new key.
    BYTE NextId(std::uintptr_t key) EXCLUDES(counterLock);

private:
    platform::CriticalSection counterLock;
    std::map<std::uintptr_t, BYTE> counters GUARDED_BY(counterLock);
};

// The process-wide registry, created by the first acquisition; every call counts one user.
// Throws if the registry cannot be created, leaving the process-wide state unchanged.
SequenceIdRegistry* AcquireRegistry();

// Drops one user; the last one destroys the registry and all its counters.
void ReleaseRegistry() noexcept;
