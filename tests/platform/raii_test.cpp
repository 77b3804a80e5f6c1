// The RAII holders and the error idiom, on both targets.
#include <gtest/gtest.h>

#include <stdexcept>

#include "counting_unknown.h"
#include "platform/com_ptr.h"
#include "platform/result_macros.h"
#include "platform/task_memory.h"

namespace {

using platform::ComPtr;
using testing_support::CountingUnknown;

TEST(ComPtrTest, HoldsExactlyOneReferenceThroughCopiesMovesAndScopeExit) {
    CountingUnknown object;
    {
        ComPtr<IUnknown> first(&object);
        EXPECT_EQ(object.References(), 1);
        ComPtr<IUnknown> copy = first;
        EXPECT_EQ(object.References(), 2);
        ComPtr<IUnknown> moved = std::move(copy);
        EXPECT_EQ(object.References(), 2);
        EXPECT_EQ(copy.get(), nullptr);
        first = nullptr;
        EXPECT_EQ(object.References(), 1);
        moved = moved;  // self-assignment keeps the reference
        EXPECT_EQ(object.References(), 1);
    }
    EXPECT_EQ(object.References(), 0);
}

TEST(ComPtrTest, PutReleasesTheOldReferenceBeforeHandingOutTheAddress) {
    CountingUnknown oldObject;
    CountingUnknown newObject;
    ComPtr<IUnknown> holder(&oldObject);
    ASSERT_EQ(newObject.QueryInterface(IID_IUnknown, holder.put_void()), S_OK);
    EXPECT_EQ(oldObject.References(), 0);
    EXPECT_EQ(newObject.References(), 1);
    EXPECT_EQ(holder.get(), &newObject);
}

TEST(ComPtrTest, DetachAndAttachHandOverTheReferenceWithoutCounting) {
    CountingUnknown object;
    ComPtr<IUnknown> holder(&object);
    IUnknown* raw = holder.detach();
    EXPECT_EQ(holder.get(), nullptr);
    EXPECT_EQ(object.References(), 1);
    {
        auto adopted = ComPtr<IUnknown>::Attach(raw);
        EXPECT_EQ(object.References(), 1);
    }
    EXPECT_EQ(object.References(), 0);
}

TEST(ComPtrTest, QueryToReturnsTheResultAndLeavesNullOnFailure) {
    CountingUnknown object;
    ComPtr<IUnknown> holder(&object);
    ComPtr<IUnknown> same;
    EXPECT_EQ(holder.query_to(&same), S_OK);
    EXPECT_EQ(object.References(), 2);

    ComPtr<IClassFactory> factory;
    EXPECT_EQ(holder.query_to(&factory), E_NOINTERFACE);
    EXPECT_EQ(factory.get(), nullptr);
    EXPECT_EQ(ComPtr<IUnknown>().query_to(&same), E_POINTER);
    EXPECT_EQ(object.References(), 1);
}

TEST(TaskMemTest, FreesItsBlockOnResetAndScopeExitButNotAfterRelease) {
    platform::TaskMem<BYTE> kept;
    {
        platform::TaskMem<BYTE> block(static_cast<BYTE*>(CoTaskMemAlloc(16)));
        ASSERT_TRUE(block);
        *kept.put() = block.release();
    }
    ASSERT_TRUE(kept);
    kept.reset();
    EXPECT_FALSE(kept);
}

HRESULT PassThrough(HRESULT first, HRESULT second, int* reached) {
    RETURN_IF_FAILED(first);
    *reached = 1;
    RETURN_IF_FAILED(second);
    *reached = 2;
    RETURN_HR_IF(E_POINTER, reached == nullptr);
    return S_FALSE;
}

TEST(ResultMacrosTest, StopAtTheFirstFailureAndPassSuccessCodesOn) {
    struct Case {
        HRESULT first, second, expected;
        int reached;
    };
    const Case cases[] = {
        {S_OK, S_OK, S_FALSE, 2},
        {S_FALSE, S_OK, S_FALSE, 2},
        {E_FAIL, S_OK, E_FAIL, 0},
        {S_OK, E_OUTOFMEMORY, E_OUTOFMEMORY, 1},
    };
    for (const Case& c : cases) {
        int reached = 0;
        EXPECT_EQ(PassThrough(c.first, c.second, &reached), c.expected);
        EXPECT_EQ(reached, c.reached);
    }
}

}  // namespace
