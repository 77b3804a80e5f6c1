// The ring writer: stores one finished line in the next slot of the shared area.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "platform/os_services.h"
#include "trace/trace_state.h"
#include "trace/zqm_trace_area.h"

namespace {

constinit std::atomic<std::chrono::milliseconds::rep> backPressureLimitMs{
    ZQM_TRACE_BACK_PRESSURE_LIMIT_MS};

// Set when a wait for room timed out; cleared as soon as a line can be stored again.
constinit std::atomic<bool> overflowing{false};

// Length of `text` if it is at most `limit` characters, else limit + 1; reads no further.
std::size_t BoundedLength(const char* text, std::size_t limit) noexcept {
    std::size_t length = 0;
    while (length <= limit && text[length] != '\0') ++length;
    return length;
}

// A consumer that wrote a negative count is treated as having taken everything.
std::int32_t PendingCount(const unsigned char* area) noexcept {
    return std::max(zqm::LoadInt32(area + ZQM_TRACE_PENDING_OFFSET), std::int32_t{0});
}

// Waits while the ring is above the high-water mark, holding the trace mutex only between
// polls so the viewer can take lines. Returns the area to store into, or null to drop the line.
unsigned char* WaitForRoom(platform::NamedMutexLock& lock, unsigned char* area) noexcept {
    if (PendingCount(area) <= ZQM_TRACE_HIGH_WATER) return area;
    if (overflowing.load(std::memory_order_relaxed)) return nullptr;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(backPressureLimitMs.load());
    do {
        lock.Unlock();
        platform::SleepMilliseconds(1);
        if (!lock.Lock()) return nullptr;
        area = zqm::detail::MappedArea();
        if (area == nullptr || zqm::LoadEnabled(area) == 0) return nullptr;
        if (PendingCount(area) <= ZQM_TRACE_HIGH_WATER) return area;
    } while (std::chrono::steady_clock::now() < deadline);
    overflowing.store(true, std::memory_order_relaxed);
    return nullptr;
}

}  // namespace

void ZQMTracePut(const char* line) noexcept {
    if (line == nullptr) return;
    const std::size_t length = BoundedLength(line, ZQM_TRACE_MAX_LINE);
    if (length > ZQM_TRACE_MAX_LINE) return;

    platform::NamedMutexLock lock(zqm::detail::TraceMutex());
    if (!lock.owns()) return;
    unsigned char* area = zqm::detail::MappedArea();
    if (area == nullptr) return;
    area = WaitForRoom(lock, area);
    if (area == nullptr) return;
    overflowing.store(false, std::memory_order_relaxed);

    // A write index outside the ring (a faulty consumer) restarts the ring at slot 0.
    std::int32_t index = zqm::LoadInt32(area + ZQM_TRACE_WRITE_INDEX_OFFSET);
    if (index < 0 || index >= ZQM_TRACE_SLOT_COUNT) index = 0;
    std::memcpy(zqm::SlotAt(area, index), line, length + 1);
    ++index;
    if (index == ZQM_TRACE_SLOT_COUNT) index = 0;
    zqm::StoreInt32(area + ZQM_TRACE_WRITE_INDEX_OFFSET, index);
    zqm::StoreInt32(area + ZQM_TRACE_PENDING_OFFSET, PendingCount(area) + 1);
    zqm::detail::TraceEvent().Signal();
}

void zqm::detail::ResetBackPressure() noexcept {
    overflowing.store(false, std::memory_order_relaxed);
}

namespace zqm::testing {

void SetBackPressureLimit(std::chrono::milliseconds limit) noexcept {
    backPressureLimitMs.store(limit.count());
}

}  // namespace zqm::testing
