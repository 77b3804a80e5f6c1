// Internal to the trace library: the process-wide trace state that the writer, the front-end
// and the dumps share. Lock order: the in-process trace lock first, the trace mutex inside it.
#pragma once

#include <atomic>

#include "platform/critical_section.h"
#include "platform/kernel_objects.h"
#include "trace/zqm_trace_layout.h"

namespace zqm::detail {

// Held around a whole trace call; guards the formatting buffer.
platform::CriticalSection& TraceLock() noexcept;
// Orders every process's access to the area.
platform::NamedMutex& TraceMutex() noexcept;
// Signalled once per stored line.
platform::NamedEvent& TraceEvent() noexcept;
// The area's first byte while mapped, else null. Read under the trace mutex it is stable; read
// without a lock it only serves the quick "tracing off" test. Written only by ZQMTraceMap and
// ZQMTraceUnmap.
extern constinit std::atomic<unsigned char*> mappedArea;

inline unsigned char* MappedArea() noexcept {
    return mappedArea.load(std::memory_order_acquire);
}

// Forgets an earlier timed-out wait for room (a newly mapped area starts afresh).
void ResetBackPressure() noexcept;

// Writes `text` as a format without values (it must hold no conversions): the newline lines of
// ZQMTraceF and the result-code line.
void TraceText(const char* category, const char* text, ...) noexcept;

// The quick test before any lock or formatting: mapped and enabled, read without a lock.
inline bool QuickTraceOn() noexcept {
    unsigned char* area = MappedArea();
    return area != nullptr && LoadEnabled(area) != 0;
}

}  // namespace zqm::detail
