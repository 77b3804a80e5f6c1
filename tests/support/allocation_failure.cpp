// The replaced global operator new and delete. The plain and the nothrow forms are replaced (a
// sanitizer runtime would otherwise serve nothrow allocations with its own, mismatched pair);
// the array forms forward to them, and the aligned forms keep the runtime's own pair.
#include "allocation_failure.h"

#include <cstdlib>
#include <new>

namespace {

// Allocations still to go before the armed one fails; 0 when nothing is armed.
thread_local long t_allocationsBeforeFailure = 0;

bool ShouldFail() noexcept {
    if (t_allocationsBeforeFailure == 0) return false;
    return --t_allocationsBeforeFailure == 0;
}

}  // namespace

namespace testing_support {

void FailNthAllocation(long n) noexcept {
    t_allocationsBeforeFailure = n > 0 ? n : 0;
}

bool AllocationFailurePending() noexcept {
    return t_allocationsBeforeFailure > 0;
}

}  // namespace testing_support

void* operator new(std::size_t size) {
    bool fail = ShouldFail();
    for (;;) {
        if (!fail) {
            if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
        }
        // As the standard operator new does: a handler may free memory and return, so try again.
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
        fail = false;
    }
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
