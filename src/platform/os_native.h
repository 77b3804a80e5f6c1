// Internal to the platform library: the operating system's own answers behind os_services.h,
// one implementation per platform (posix/, win32/), without the test feeds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::native {

std::size_t ExecutablePath(char* buffer, std::size_t size) noexcept;
std::uint32_t CurrentThreadId() noexcept;
std::int64_t PerformanceFrequency() noexcept;
std::int64_t PerformanceCounter() noexcept;
void SleepMilliseconds(std::uint32_t milliseconds) noexcept;
void SetStandardOutputBinary() noexcept;

}  // namespace platform::native
