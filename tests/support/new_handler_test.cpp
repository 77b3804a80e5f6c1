// The throwing new-handler of the entry barrier: what it throws, on which threads, and that the
// handler in force before any barrier is in force again after all of them.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <new>
#include <thread>
#include <vector>

#include "allocation_failure.h"
#include "support/new_handler.h"
#include "support/vlx_runtime_error.h"

namespace {

using testing_support::ScopedAllocationFailure;

std::atomic<int> g_outsideHandlerCalls{0};

// Stands for a handler the host installed; it gives up like the default behaviour.
void OutsideHandler() {
    g_outsideHandlerCalls.fetch_add(1);
    throw std::bad_alloc();
}

// Runs one allocation that fails and tells how the failure surfaced.
enum class Outcome { kRuntimeError, kBadAlloc, kNoFailure };

Outcome FailOneAllocation() {
    ScopedAllocationFailure failure(1);
    try {
        // Called directly, not as a new-expression, which the compiler may elide.
        void* block = ::operator new(sizeof(long));
        ::operator delete(block);
        return Outcome::kNoFailure;
    } catch (const VLX_RuntimeError& error) {
        EXPECT_EQ(error.GetHresult(), E_OUTOFMEMORY);
        return Outcome::kRuntimeError;
    } catch (const std::bad_alloc&) {
        return Outcome::kBadAlloc;
    }
}

class NewHandlerTest : public testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::set_new_handler(&OutsideHandler);
        g_outsideHandlerCalls = 0;
    }
    void TearDown() override {
        EXPECT_EQ(std::get_new_handler(), &OutsideHandler);
        std::set_new_handler(previous_);
    }

  private:
    std::new_handler previous_ = nullptr;
};

TEST_F(NewHandlerTest, InsideABarrierExhaustionThrowsRuntimeErrorAndTheHandlerComesBack) {
    std::new_handler savedHandler = nullptr;
    int savedMode = -1;
    SetNewHandlerWithThrowError(&savedHandler, &savedMode);
    EXPECT_EQ(savedHandler, &OutsideHandler);
    EXPECT_EQ(savedMode, 0);
    EXPECT_EQ(FailOneAllocation(), Outcome::kRuntimeError);
    EXPECT_EQ(g_outsideHandlerCalls, 0);
    ResetNewHandler(savedHandler, savedMode);

    EXPECT_EQ(std::get_new_handler(), &OutsideHandler);
    EXPECT_EQ(FailOneAllocation(), Outcome::kBadAlloc);
    EXPECT_EQ(g_outsideHandlerCalls, 1);
}

TEST_F(NewHandlerTest, NestedBarriersKeepThrowingUntilTheOutermostIsLeft) {
    std::new_handler outerHandler = nullptr;
    int outerMode = -1;
    std::new_handler innerHandler = nullptr;
    int innerMode = -1;
    SetNewHandlerWithThrowError(&outerHandler, &outerMode);
    SetNewHandlerWithThrowError(&innerHandler, &innerMode);
    EXPECT_EQ(outerMode, 0);
    EXPECT_EQ(innerMode, 1);
    ResetNewHandler(innerHandler, innerMode);
    EXPECT_EQ(FailOneAllocation(), Outcome::kRuntimeError);
    ResetNewHandler(outerHandler, outerMode);
    EXPECT_EQ(FailOneAllocation(), Outcome::kBadAlloc);

    // A reset without a barrier to leave changes nothing.
    ResetNewHandler(outerHandler, outerMode);
    EXPECT_EQ(std::get_new_handler(), &OutsideHandler);
}

TEST_F(NewHandlerTest, ThrowingBelongsToTheThreadInsideTheBarrier) {
    std::promise<void> entered;
    std::promise<void> checked;
    std::future<void> checkedFuture = checked.get_future();
    Outcome barrierThread = Outcome::kNoFailure;
    std::thread worker([&] {
        std::new_handler handler = nullptr;
        int mode = 0;
        SetNewHandlerWithThrowError(&handler, &mode);
        entered.set_value();
        checkedFuture.wait();
        barrierThread = FailOneAllocation();
        ResetNewHandler(handler, mode);
    });
    entered.get_future().wait();
    // Another thread's barrier is active, but this thread is outside any.
    EXPECT_EQ(FailOneAllocation(), Outcome::kBadAlloc);
    EXPECT_EQ(g_outsideHandlerCalls, 1);
    checked.set_value();
    worker.join();
    EXPECT_EQ(barrierThread, Outcome::kRuntimeError);
}

TEST_F(NewHandlerTest, InterleavedBarriersOnManyThreadsRestoreTheHandlerInForceBefore) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 300;
    std::atomic<int> wrongOutcomes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                std::new_handler handler = nullptr;
                int mode = 0;
                SetNewHandlerWithThrowError(&handler, &mode);
                if ((round + t) % 3 == 0) {  // some calls nest, as a barrier inside a barrier
                    std::new_handler innerHandler = nullptr;
                    int innerMode = 0;
                    SetNewHandlerWithThrowError(&innerHandler, &innerMode);
                    if (FailOneAllocation() != Outcome::kRuntimeError) ++wrongOutcomes;
                    ResetNewHandler(innerHandler, innerMode);
                }
                if (FailOneAllocation() != Outcome::kRuntimeError) ++wrongOutcomes;
                ResetNewHandler(handler, mode);
                if (round % 5 == 0 && FailOneAllocation() != Outcome::kBadAlloc) ++wrongOutcomes;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrongOutcomes, 0);
    EXPECT_EQ(std::get_new_handler(), &OutsideHandler);  // checked again in TearDown
}

TEST(NewHandlerWithoutOutsideHandlerTest, ExhaustionOutsideBarriersIsBadAllocAgain) {
    ASSERT_EQ(std::get_new_handler(), nullptr);
    std::new_handler handler = &OutsideHandler;
    int mode = -1;
    SetNewHandlerWithThrowError(&handler, &mode);
    EXPECT_EQ(handler, nullptr);
    EXPECT_EQ(FailOneAllocation(), Outcome::kRuntimeError);
    ResetNewHandler(handler, mode);
    EXPECT_EQ(std::get_new_handler(), nullptr);
    EXPECT_EQ(FailOneAllocation(), Outcome::kBadAlloc);
}

}  // namespace
