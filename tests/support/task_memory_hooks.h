// Task-memory counters and failure injection for tests, on both targets, over the platform's
// task-memory audit (platform/task_memory_audit.h), which the program installs at start-up.
//
//   testing_support::TaskMemHooks hooks;        // baseline taken now
//   ... run the code ...
//   EXPECT_EQ(hooks.NewlyOutstanding(), 0);     // every block freed
//   EXPECT_EQ(hooks.NewBadFrees(), 0);          // and none freed twice
#pragma once

namespace testing_support {

class TaskMemHooks {
  public:
    // False only if the audit could not be installed.
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
