// Interlocked counters: reference counts and lock counts change only through these atomic
// increments and decrements, and may be read without a lock.
#pragma once

#include <atomic>

#include "platform/com.h"

namespace platform {

class InterlockedCounter {
public:
    constexpr explicit InterlockedCounter(LONG initial = 0) noexcept : value_(initial) {}
    InterlockedCounter(const InterlockedCounter&) = delete;
    InterlockedCounter& operator=(const InterlockedCounter&) = delete;

    // Both return the value after the change, as InterlockedIncrement does.
    LONG Increment() noexcept { return value_.fetch_add(1, std::memory_order_acq_rel) + 1; }
    LONG Decrement() noexcept { return value_.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    LONG Value() const noexcept { return value_.load(std::memory_order_acquire); }

private:
    std::atomic<LONG> value_;
};

}  // namespace platform
