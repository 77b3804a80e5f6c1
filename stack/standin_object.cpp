#include "stack/standin_object.h"

#include "stack/stack_environment.h"

namespace stack {

StandInRoot::StandInRoot(StandInClass standInClass) noexcept : class_(standInClass) {
    Environment().Census().Born(class_);
}

StandInRoot::~StandInRoot() {
    // An object deleted without its count ever reaching 0 (a failed creation) still dies.
    if (!retired_.load(std::memory_order_acquire)) Environment().Census().Died(class_);
}

ULONG StandInRoot::AddRefImpl() noexcept {
    if (retired_.load(std::memory_order_acquire)) {
        Environment().Census().CountReferenceError();
        return 0;
    }
    return static_cast<ULONG>(refs_.Increment());
}

ULONG StandInRoot::ReleaseImpl() noexcept {
    if (retired_.load(std::memory_order_acquire)) {
        Environment().Census().CountReferenceError();
        return 0;
    }
    const LONG remaining = refs_.Decrement();
    if (remaining > 0) return static_cast<ULONG>(remaining);
    if (remaining < 0) {
        // Released without ever being referenced: undo and report instead of destroying.
        refs_.Increment();
        Environment().Census().CountReferenceError();
        return 0;
    }
    retired_.store(true, std::memory_order_release);
    ObjectCensus& census = Environment().Census();
    census.Died(class_);
    ReleaseHeldResources();
    census.Bury(this);
    return 0;
}

}  // namespace stack
