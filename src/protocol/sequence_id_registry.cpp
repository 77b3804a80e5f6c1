#include "protocol/sequence_id_registry.h"

#include <memory>

namespace {

// Process-wide state, constant-initialised so it exists before any object can be constructed.
platform::CriticalSection registryLock;
SequenceIdRegistry* registryInstance GUARDED_BY(registryLock) = nullptr;
LONG registryUsers GUARDED_BY(registryLock) = 0;

}  // namespace

BYTE SequenceIdRegistry::NextId(std::uintptr_t key) {
    platform::CriticalSectionGuard guard(counterLock);
    const auto [entry, inserted] = counters.try_emplace(key, BYTE{0});
    if (!inserted) entry->second = static_cast<BYTE>(entry->second + 1);
    return entry->second;
}

SequenceIdRegistry* AcquireRegistry() {
    platform::CriticalSectionGuard guard(registryLock);
    if (registryInstance == nullptr) {
        // A throw leaves instance and users as they were.
        registryInstance = new SequenceIdRegistry();
    }
    ++registryUsers;
    return registryInstance;
}

void ReleaseRegistry() noexcept {
    std::unique_ptr<SequenceIdRegistry> last;
    {
        platform::CriticalSectionGuard guard(registryLock);
        --registryUsers;
        if (registryUsers == 0 && registryInstance != nullptr) {
            last.reset(registryInstance);
            registryInstance = nullptr;
        }
    }
}
