// The task-memory hooks that other tests rely on must see a leak, a bad free and an
// injected failure on every target.
#include <gtest/gtest.h>

#include "platform/com.h"
#include "task_memory_hooks.h"

namespace {

using testing_support::TaskMemHooks;

TEST(TaskMemHooksTest, CountLiveBlocksRefuseForeignFreesAndInjectFailures) {
    ASSERT_TRUE(TaskMemHooks::Available());
    const TaskMemHooks hooks;
    void* block = CoTaskMemAlloc(16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(hooks.NewlyOutstanding(), 1);
    CoTaskMemFree(block);
    EXPECT_EQ(hooks.NewlyOutstanding(), 0);
    // A second free is refused and counted, not handed to the heap.
    CoTaskMemFree(block);
    EXPECT_EQ(hooks.NewBadFrees(), 1);
    EXPECT_EQ(hooks.NewlyOutstanding(), 0);

    TaskMemHooks::FailNthAllocation(2);
    void* first = CoTaskMemAlloc(16);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(CoTaskMemAlloc(16), nullptr);
    void* third = CoTaskMemAlloc(16);
    EXPECT_NE(third, nullptr);
    CoTaskMemFree(first);
    CoTaskMemFree(third);
    EXPECT_EQ(hooks.NewlyOutstanding(), 0);
}

}  // namespace
