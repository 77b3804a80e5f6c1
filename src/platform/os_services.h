// Small operating-system services: the executable's path, the thread id, the high-resolution
// counter and a sleep. The trace facility builds its line prefixes from them.
//
//   char path[260];
//   if (platform::ExecutablePath(path, sizeof(path)) > 0) { ... }
//
// Tests feed the path, the thread id and the counter through platform::testing, so that what is
// built from them can be checked exactly on every platform; a fed value holds for every thread
// until it is cleared with std::nullopt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Writes the full path of the process's executable file (not of a loaded module) into `buffer`,
// cut to size - 1 characters and NUL-terminated. Returns the characters written; 0 on failure.
std::size_t ExecutablePath(char* buffer, std::size_t size) noexcept;

// The operating system's id of the calling thread.
std::uint32_t CurrentThreadId() noexcept;

// Ticks per second of the high-resolution counter (0 if there is none) and its current value.
std::int64_t PerformanceFrequency() noexcept;
std::int64_t PerformanceCounter() noexcept;

void SleepMilliseconds(std::uint32_t milliseconds) noexcept;

// Makes standard output write bytes unchanged (no "\n" to "\r\n" translation on Windows).
void SetStandardOutputBinary() noexcept;

namespace testing {

// An empty path makes ExecutablePath fail.
void SetExecutablePathForTest(std::optional<std::string> path);
void SetThreadIdForTest(std::optional<std::uint32_t> threadId);
struct FedCounter {
    std::int64_t frequency = 0;
    std::int64_t counter = 0;
};
void SetPerformanceCounterForTest(std::optional<FedCounter> counter);

}  // namespace testing

}  // namespace platform
