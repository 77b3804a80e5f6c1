// The OS services with their test feeds in front; the platform-specific halves are in
// posix/os_native.cpp and win32/os_native.cpp.
#include "platform/os_services.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/child_process.h"
#include "platform/os_native.h"

namespace platform {

namespace {

// One flag per feed keeps the common case (nothing fed) to a single atomic load.
struct Feeds {
    std::atomic<bool> pathFed{false};
    std::atomic<bool> threadIdFed{false};
    std::atomic<bool> counterFed{false};
    std::mutex lock;
    std::string path;             // guarded by lock
    std::uint32_t threadId = 0;   // guarded by lock
    testing::FedCounter counter;  // guarded by lock
};

Feeds& TheFeeds() {
    static Feeds feeds;
    return feeds;
}

}  // namespace

std::size_t ExecutablePath(char* buffer, std::size_t size) noexcept {
    if (buffer == nullptr || size == 0) return 0;
    Feeds& feeds = TheFeeds();
    if (feeds.pathFed.load(std::memory_order_acquire)) {
        std::lock_guard guard(feeds.lock);
        const std::size_t length = std::min(feeds.path.size(), size - 1);
        std::memcpy(buffer, feeds.path.data(), length);
        buffer[length] = '\0';
        return length;
    }
    return native::ExecutablePath(buffer, size);
}

std::uint32_t CurrentThreadId() noexcept {
    Feeds& feeds = TheFeeds();
    if (feeds.threadIdFed.load(std::memory_order_acquire)) {
        std::lock_guard guard(feeds.lock);
        return feeds.threadId;
    }
    return native::CurrentThreadId();
}

std::int64_t PerformanceFrequency() noexcept {
    Feeds& feeds = TheFeeds();
    if (feeds.counterFed.load(std::memory_order_acquire)) {
        std::lock_guard guard(feeds.lock);
        return feeds.counter.frequency;
    }
    return native::PerformanceFrequency();
}

std::int64_t PerformanceCounter() noexcept {
    Feeds& feeds = TheFeeds();
    if (feeds.counterFed.load(std::memory_order_acquire)) {
        std::lock_guard guard(feeds.lock);
        return feeds.counter.counter;
    }
    return native::PerformanceCounter();
}

void SleepMilliseconds(std::uint32_t milliseconds) noexcept {
    native::SleepMilliseconds(milliseconds);
}

void SetStandardOutputBinary() noexcept {
    native::SetStandardOutputBinary();
}

// Declared in child_process.h; the same on both platforms.
std::string ExecutableDirectory() {
    char path[4096];
    if (native::ExecutablePath(path, sizeof(path)) == 0) return {};
    const std::string full(path);
    // Windows separates with '\' (or '/'); a Linux directory name with a '\' in it would be cut
    // short, which the build trees of the test programs never have.
    return full.substr(0, full.find_last_of("\\/") + 1);
}

namespace testing {

void SetExecutablePathForTest(std::optional<std::string> path) {
    Feeds& feeds = TheFeeds();
    std::lock_guard guard(feeds.lock);
    feeds.path = path.value_or(std::string{});
    feeds.pathFed.store(path.has_value(), std::memory_order_release);
}

void SetThreadIdForTest(std::optional<std::uint32_t> threadId) {
    Feeds& feeds = TheFeeds();
    std::lock_guard guard(feeds.lock);
    feeds.threadId = threadId.value_or(0);
    feeds.threadIdFed.store(threadId.has_value(), std::memory_order_release);
}

void SetPerformanceCounterForTest(std::optional<FedCounter> counter) {
    Feeds& feeds = TheFeeds();
    std::lock_guard guard(feeds.lock);
    feeds.counter = counter.value_or(FedCounter{});
    feeds.counterFed.store(counter.has_value(), std::memory_order_release);
}

}  // namespace testing

}  // namespace platform
