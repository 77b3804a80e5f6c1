// The named kernel objects of the platform layer, within one process (the cross-process cases
// are in trace_process_test).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/kernel_objects.h"

namespace {

using namespace std::chrono_literals;

TEST(KernelObjectNameTest, PutsTheTestNamespaceInFrontOnlyWhenThereIsOne) {
    const struct {
        const char* name;
        const char* kernelNamespace;
        const char* expected;
    } cases[] = {
        {"_ZQM_TraceOutput", "", "_ZQM_TraceOutput"},
        {"_ZQM_TraceMutex", "vorn-1a2b-trace_test", "vorn-1a2b-trace_test._ZQM_TraceMutex"},
        {"_ZQM_TraceEvent", "a/b\\c d", "a_b_c_d._ZQM_TraceEvent"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::KernelObjectName(c.name, c.kernelNamespace), c.expected);
    }
}

std::string TestName(const char* suffix) {
    return platform::KernelObjectName(std::string("named_objects_test_") + suffix);
}

TEST(SharedMappingTest, IsOpenedOnlyWhileItsCreatorHoldsIt) {
    const std::string name = TestName("mapping");
    EXPECT_FALSE(platform::SharedMapping::OpenExisting(name).valid());
    {
        auto created = platform::SharedMapping::CreateOrOpen(name, 10000);
        ASSERT_TRUE(created.valid());
        EXPECT_FALSE(created.existed());
        ASSERT_GE(created.size(), 10000u);
        EXPECT_EQ(created.data()[9999], 0) << "a new mapping reads as zeros";
        created.data()[9999] = 0x42;

        auto opened = platform::SharedMapping::OpenExisting(name);
        ASSERT_TRUE(opened.valid());
        EXPECT_GE(opened.size(), 10000u);
        EXPECT_EQ(opened.data()[9999], 0x42);
        opened.data()[0] = 0x17;
        EXPECT_EQ(created.data()[0], 0x17);

        auto again = platform::SharedMapping::CreateOrOpen(name, 10000);
        ASSERT_TRUE(again.valid());
        EXPECT_TRUE(again.existed());
        EXPECT_EQ(again.data()[0], 0x17);
    }
    EXPECT_FALSE(platform::SharedMapping::OpenExisting(name).valid());
}

TEST(NamedEventTest, ResetsItselfOnTheWaitThatSeesIt) {
    auto event = platform::NamedEvent::CreateOrOpen(TestName("event"));
    auto other = platform::NamedEvent::CreateOrOpen(TestName("event"));
    ASSERT_TRUE(event.valid() && other.valid());
    EXPECT_FALSE(event.Wait(0ms));
    other.Signal();
    other.Signal();
    EXPECT_TRUE(event.Wait(0ms));
    EXPECT_FALSE(event.Wait(10ms)) << "two signals before a wait count as one";

    std::thread signaller([&other] {
        std::this_thread::sleep_for(20ms);
        other.Signal();
    });
    EXPECT_TRUE(event.Wait(60s));
    signaller.join();
}

TEST(NamedMutexTest, ExcludesHoldersThatOpenedItSeparatelyAtTheSameTime) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    const std::string name = TestName("mutex");
    std::atomic<int> counter{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            while (!go.load()) std::this_thread::yield();
            auto mutex = platform::NamedMutex::CreateOrOpen(name);
            ASSERT_TRUE(mutex.valid());
            for (int i = 0; i < kRounds; ++i) {
                platform::NamedMutexLock lock(mutex);
                ASSERT_TRUE(lock.owns());
                // Read and write apart: without exclusion, increments get lost.
                const int seen = counter.load(std::memory_order_relaxed);
                std::this_thread::yield();
                counter.store(seen + 1, std::memory_order_relaxed);
            }
        });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(counter.load(), kThreads * kRounds);
}

TEST(NamedMutexTest, ItsOwnerMayTakeItAgain) {
    auto mutex = platform::NamedMutex::CreateOrOpen(TestName("recursive"));
    ASSERT_TRUE(mutex.Acquire());
    ASSERT_TRUE(mutex.Acquire());
    mutex.Release();
    mutex.Release();
    EXPECT_FALSE(platform::NamedMutex{}.Acquire()) << "a mutex that is not open";
}

}  // namespace
