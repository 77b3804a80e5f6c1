// Makes an allocation through the global operator new fail on purpose, the way operator new
// fails when memory is exhausted: it calls the installed new-handler in a loop and throws
// std::bad_alloc when there is none. Linking the library vorn_test_allocation replaces the test
// program's global operator new and delete, which also serve the component code linked into it.
//
// Failures are armed per thread, so other threads of the test allocate normally. To fail each
// allocation of an operation in turn:
//
//   for (long n = 1;; ++n) {
//       testing_support::ScopedAllocationFailure failure(n);
//       ... run the operation, check its result ...
//       if (!failure.Happened()) break;        // the operation made fewer than n allocations
//   }
#pragma once

namespace testing_support {

// The n-th allocation from now on the calling thread fails (1 = the next one); 0 disarms.
void FailNthAllocation(long n) noexcept;

// True while an armed failure on the calling thread has not happened yet.
bool AllocationFailurePending() noexcept;

// Arms a failure for its scope and disarms it at the end.
class ScopedAllocationFailure {
  public:
    explicit ScopedAllocationFailure(long n) noexcept { FailNthAllocation(n); }
    ~ScopedAllocationFailure() { FailNthAllocation(0); }
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;

    bool Happened() const noexcept { return !AllocationFailurePending(); }
};

}  // namespace testing_support
