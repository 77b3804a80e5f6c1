// Task-memory counters and failure injection for tests, on targets whose COM runtime offers
// them (the Linux runtime does; tests skip those checks where Available() is false).
//
//   testing_support::TaskMemHooks hooks;        // baseline taken now
//   ... run the code ...
//   EXPECT_EQ(hooks.NewlyOutstanding(), 0);     // every block freed
//   EXPECT_EQ(hooks.NewBadFrees(), 0);          // and none freed twice
#pragma once

namespace testing_support {

class TaskMemHooks {
  public:
    static bool Available() noexcept;
    // The n-th task-memory allocation from now fails (1 = the next one); 0 disarms.
    static void FailNthAllocation(long n) noexcept;

    TaskMemHooks() noexcept;
    ~TaskMemHooks();
    TaskMemHooks(const TaskMemHooks&) = delete;
    TaskMemHooks& operator=(const TaskMemHooks&) = delete;

    // Blocks allocated and not freed since construction.
    long NewlyOutstanding() const noexcept;
    // Frees of something that was not a live block since construction.
    long NewBadFrees() const noexcept;

  private:
    long outstandingBefore_;
    long badFreesBefore_;
};

}  // namespace testing_support
