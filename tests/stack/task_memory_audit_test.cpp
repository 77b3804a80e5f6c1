// The task-memory audit on both targets: it counts blocks allocated and freed, and counts and
// refuses a second free of the same block, and fails the allocation it is told to.
#include <gtest/gtest.h>

#include "platform/com.h"
#include "platform/task_memory_audit.h"
#include "stack/com_initialisation.h"

namespace {

TEST(TaskMemoryAuditTest, CountsLiveBlocksAndRefusesASecondFree) {
    const stack::ComInitialisation com;
    ASSERT_EQ(platform::TaskMemoryAudit::Install(), S_OK);
    EXPECT_EQ(platform::TaskMemoryAudit::Install(), S_OK) << "installing again changes nothing";
    const long outstanding = platform::TaskMemoryAudit::Outstanding();
    const long badFrees = platform::TaskMemoryAudit::BadFrees();

    void* first = CoTaskMemAlloc(16);
    void* second = CoTaskMemAlloc(0x40);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(platform::TaskMemoryAudit::Outstanding(), outstanding + 2);

    second = CoTaskMemRealloc(second, 0x400);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(platform::TaskMemoryAudit::Outstanding(), outstanding + 2);

    CoTaskMemFree(first);
    EXPECT_EQ(platform::TaskMemoryAudit::Outstanding(), outstanding + 1);
    CoTaskMemFree(first);  // a second free: counted, and the heap never sees it
    EXPECT_EQ(platform::TaskMemoryAudit::BadFrees(), badFrees + 1);
    EXPECT_EQ(platform::TaskMemoryAudit::Outstanding(), outstanding + 1);

    CoTaskMemFree(second);
    CoTaskMemFree(nullptr);
    EXPECT_EQ(platform::TaskMemoryAudit::Outstanding(), outstanding);
    EXPECT_EQ(platform::TaskMemoryAudit::BadFrees(), badFrees + 1);

    platform::TaskMemoryAudit::FailAllocation(2);
    void* kept = CoTaskMemAlloc(8);
    EXPECT_EQ(CoTaskMemAlloc(8), nullptr) << "the 2nd allocation from now fails";
    void* later = CoTaskMemAlloc(8);
    EXPECT_NE(kept, nullptr);
    EXPECT_NE(later, nullptr);
    CoTaskMemFree(kept);
    CoTaskMemFree(later);
    EXPECT_EQ(platform::TaskMemoryAudit::Outstanding(), outstanding);
}

}  // namespace
