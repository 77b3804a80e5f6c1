// OS services on Windows.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/com.h"
#include "platform/os_native.h"

namespace platform::native {

std::size_t ExecutablePath(char* buffer, std::size_t size) noexcept {
    const DWORD capacity = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(size);
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer, capacity);
    if (length == 0) return 0;
    // A cut path fills the buffer; make sure it ends inside it on every Windows version.
    const std::size_t stored = length < capacity ? length : capacity - 1;
    buffer[stored] = '\0';
    return stored;
}

std::uint32_t CurrentThreadId() noexcept {
    return ::GetCurrentThreadId();
}

std::int64_t PerformanceFrequency() noexcept {
    LARGE_INTEGER frequency{};
    if (!::QueryPerformanceFrequency(&frequency)) return 0;
    return frequency.QuadPart;
}

std::int64_t PerformanceCounter() noexcept {
    LARGE_INTEGER counter{};
    if (!::QueryPerformanceCounter(&counter)) return 0;
    return counter.QuadPart;
}

void SleepMilliseconds(std::uint32_t milliseconds) noexcept {
    ::Sleep(milliseconds);
}

void SetStandardOutputBinary() noexcept {
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace platform::native
