// OS services on Linux.
#include <time.h>
#include <unistd.h>

#include "platform/os_native.h"

namespace platform::native {

std::size_t ExecutablePath(char* buffer, std::size_t size) noexcept {
    const ssize_t length = ::readlink("/proc/self/exe", buffer, size - 1);
    if (length <= 0) return 0;
    buffer[length] = '\0';
    return static_cast<std::size_t>(length);
}

std::uint32_t CurrentThreadId() noexcept {
    return static_cast<std::uint32_t>(::gettid());
}

// CLOCK_MONOTONIC in nanoseconds: never set back, and the same ticks in every process.
std::int64_t PerformanceFrequency() noexcept {
    return 1000000000;
}

std::int64_t PerformanceCounter() noexcept {
    struct timespec now {};
    if (::clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 0;
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void SleepMilliseconds(std::uint32_t milliseconds) noexcept {
    struct timespec pause {};
    pause.tv_sec = static_cast<time_t>(milliseconds / 1000);
    pause.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (::nanosleep(&pause, &pause) != 0) {
    }
}

void SetStandardOutputBinary() noexcept {}

}  // namespace platform::native
