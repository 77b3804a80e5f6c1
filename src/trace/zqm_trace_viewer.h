// A trace viewer inside a process: it creates the shared trace area, the trace mutex and the
// trace event, writes the filter text and turns tracing on, and takes the lines that writers
// store, oldest first. The zqm-trace tool is built on it, and tests read the lines a component
// writes through it:
//
//   ZQMTraceViewer viewer("JOE$");        // area, mutex, event; filter; enable byte set
//   ZQMTraceUnmap();                       // a test process started before the area existed
//   ZQMTraceMap();                         // maps it now
//   ZQMTraceJO("hello %d\n", 1);
//   std::vector<std::string> lines = viewer.TakeLines();   // {"hello 1\n"}
//
// One viewer per area at a time. If the area already exists (a viewer that died, or writers
// still holding an old one), the viewer takes it over and empties the ring. The destructor
// turns tracing off and closes everything; writers that still wait for room give up.
//
// The header accessors (PendingCount, SetWriteIndex, RawArea, ...) are for tests that play a
// slow or faulty consumer; all of them except RawArea hold the trace mutex.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel_objects.h"
#include "trace/zqm_trace_layout.h"

class ZQMTraceViewer {
  public:
    // `areaSize` other than ZQM_TRACE_AREA_SIZE only for tests of a faulty consumer.
    explicit ZQMTraceViewer(std::string_view filter = "JOE$",
                            std::size_t areaSize = ZQM_TRACE_AREA_SIZE);
    ~ZQMTraceViewer();
    ZQMTraceViewer(const ZQMTraceViewer&) = delete;
    ZQMTraceViewer& operator=(const ZQMTraceViewer&) = delete;

    // False if the area, the mutex or the event could not be created; nothing else works then.
    bool valid() const noexcept { return valid_; }
    // True if an area of that name existed already and was taken over.
    bool tookOver() const noexcept { return tookOver_; }

    // Writes the filter text (cut to 34 characters), NUL-padded over the whole field.
    void SetFilter(std::string_view filter);
    void SetEnabled(bool enabled);

    // Takes up to `maxLines` pending lines, oldest first, and lowers pendingCount by as many.
    std::vector<std::string> TakeLines(
        std::size_t maxLines = std::numeric_limits<std::size_t>::max());
    // Waits until a writer signals a stored line; false on time-out.
    bool WaitForLines(std::chrono::milliseconds timeout);

    std::int32_t PendingCount();
    void SetPendingCount(std::int32_t count);
    std::int32_t WriteIndex();
    void SetWriteIndex(std::int32_t index);
    // The text in slot `index` (0-999), up to its NUL or the slot's end.
    std::string Slot(std::int32_t index);
    // Runs `edit` on the area's bytes while holding the trace mutex.
    void EditArea(const std::function<void(unsigned char* area)>& edit);
    // The area's bytes, without any lock.
    unsigned char* RawArea() const noexcept { return area_.data(); }

  private:
    platform::NamedMutex mutex_;
    platform::NamedEvent event_;
    platform::SharedMapping area_;
    bool valid_ = false;
    bool tookOver_ = false;
};
