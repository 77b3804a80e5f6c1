// Copies into task memory and the throwing task-memory allocation.
#include <gtest/gtest.h>

#include "platform/task_memory.h"
#include "support/task_memory_copies.h"
#include "support/vlx_runtime_error.h"
#include "task_memory_hooks.h"

namespace {

using platform::WideString;
using testing_support::TaskMemHooks;

TEST(CreateStringDataTest, CopiesTheTextIntoOneTaskMemoryBlock) {
    const TaskMemHooks hooks;
    for (const WCHAR* text : {WIDE("[NET]\r\nNET=Gr\u00FC\u00DFe\r\n"), WIDE("")}) {
        platform::TaskMem<WCHAR> copy(CreateStringData(text));
        ASSERT_NE(copy.get(), nullptr);
        EXPECT_NE(copy.get(), text);
        EXPECT_EQ(WideString(copy.get()), WideString(text));
        EXPECT_EQ(hooks.NewlyOutstanding(), 1);
    }
    platform::TaskMem<WCHAR> fromNull(CreateStringData(nullptr));
    ASSERT_NE(fromNull.get(), nullptr);  // null is kept for "memory is short"
    EXPECT_EQ(fromNull.get()[0], WCHAR{0});
    fromNull.reset();
    EXPECT_EQ(hooks.NewlyOutstanding(), 0);
    EXPECT_EQ(hooks.NewBadFrees(), 0);
}

TEST(CreateStringDataTest, GivesNullWhenTaskMemoryIsShort) {
    const TaskMemHooks hooks;
    TaskMemHooks::FailNthAllocation(1);
    EXPECT_EQ(CreateStringData(WIDE("text")), nullptr);
    EXPECT_EQ(hooks.NewlyOutstanding(), 0);
}

TEST(CoTaskMemAllocWithThrowErrorTest, ThrowsOutOfMemoryInsteadOfReturningNull) {
    const TaskMemHooks hooks;
    {
        platform::TaskMem<void> block(CoTaskMemAllocWithThrowError(32));
        EXPECT_NE(block.get(), nullptr);
    }
    TaskMemHooks::FailNthAllocation(1);
    try {
        static_cast<void>(CoTaskMemAllocWithThrowError(32));
        ADD_FAILURE() << "no exception";
    } catch (const VLX_RuntimeError& error) {
        EXPECT_EQ(error.GetHresult(), E_OUTOFMEMORY);
    }
    EXPECT_EQ(hooks.NewlyOutstanding(), 0);
}

}  // namespace
