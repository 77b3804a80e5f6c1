// The shared trace area as this module sees it: whether it is mapped, and the ring writer that
// stores one finished line. Lines are normally written through the entry points of zqm_trace.h.
//
// The area is mapped once, when the module loads (the static CZQMTraceInit object of the trace
// library calls ZQMTraceMap), and only if a trace viewer has created it by then; a viewer that
// starts later is not noticed. Tests whose viewer creates the area after start-up map it again
// with
//
//   ZQMTraceUnmap();
//   ZQMTraceMap();
//
// while no other thread of the process traces (trace calls read the mapping without a lock).
//
// Back-pressure: while more than ZQM_TRACE_HIGH_WATER lines are pending, ZQMTracePut waits in
// 1-millisecond steps for the viewer to take lines, and gives up at once when the viewer turns
// tracing off. The wait is bounded: after ZQM_TRACE_BACK_PRESSURE_LIMIT_MS in total the line is
// dropped, and from then on lines are dropped without waiting for as long as the ring stays
// above the high-water mark, so a viewer that hangs or died with tracing on costs a traced
// operation at most one such wait instead of stopping it for good.
#pragma once

#include <chrono>

#include "trace/zqm_trace_layout.h"

inline constexpr int ZQM_TRACE_BACK_PRESSURE_LIMIT_MS = 1000;

// Opens and maps the shared area if it exists; tracing stays off otherwise (or if the area is
// smaller than ZQM_TRACE_AREA_SIZE).
void ZQMTraceMap() noexcept;
// Unmaps and closes the area; tracing is off afterwards.
void ZQMTraceUnmap() noexcept;
// True while the area is mapped.
bool ZQMTraceMapped() noexcept;

// Stores `line` (at most ZQM_TRACE_MAX_LINE characters, prefix and newline included) in the next
// slot, or drops it: when it is longer, when the area is not mapped, or under back-pressure as
// above. Signals the viewer's event once per stored line. Trace calls hold the in-process trace
// lock around it, so one line of the process at a time reaches the area.
void ZQMTracePut(const char* line) noexcept;

// The module's static trace object: constructing it maps the area, destroying it unmaps it. The
// trace library holds the one instance, constructed at load after the in-process trace lock, the
// trace mutex and the trace event, and destroyed before them.
class CZQMTraceInit {
  public:
    CZQMTraceInit() noexcept;
    ~CZQMTraceInit();
    CZQMTraceInit(const CZQMTraceInit&) = delete;
    CZQMTraceInit& operator=(const CZQMTraceInit&) = delete;
};

namespace zqm::testing {

// Replaces the back-pressure bound (tests only); pass ZQM_TRACE_BACK_PRESSURE_LIMIT_MS to restore.
void SetBackPressureLimit(std::chrono::milliseconds limit) noexcept;

}  // namespace zqm::testing
