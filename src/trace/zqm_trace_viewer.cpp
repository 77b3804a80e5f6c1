// The in-process trace viewer.
#include "trace/zqm_trace_viewer.h"

#include <algorithm>
#include <cstring>

namespace {

// The viewer also guards itself against a header it did not write as it expects.
std::int32_t ClampedPending(const unsigned char* area) {
    return std::clamp(zqm::LoadInt32(area + ZQM_TRACE_PENDING_OFFSET), std::int32_t{0},
                      ZQM_TRACE_SLOT_COUNT);
}

std::int32_t ValidIndex(std::int32_t index) {
    return (index >= 0 && index < ZQM_TRACE_SLOT_COUNT) ? index : 0;
}

}  // namespace

ZQMTraceViewer::ZQMTraceViewer(std::string_view filter, std::size_t areaSize)
    : mutex_(platform::NamedMutex::CreateOrOpen(platform::KernelObjectName(ZQM_TRACE_MUTEX_NAME))),
      event_(platform::NamedEvent::CreateOrOpen(platform::KernelObjectName(ZQM_TRACE_EVENT_NAME))),
      area_(platform::SharedMapping::CreateOrOpen(platform::KernelObjectName(ZQM_TRACE_AREA_NAME),
                                                  areaSize)) {
    valid_ = mutex_.valid() && event_.valid() && area_.valid();
    if (!valid_) return;
    tookOver_ = area_.existed();
    {
        platform::NamedMutexLock lock(mutex_);
        if (tookOver_) {
            zqm::StoreInt32(area_.data() + ZQM_TRACE_PENDING_OFFSET, 0);
            zqm::StoreInt32(area_.data() + ZQM_TRACE_WRITE_INDEX_OFFSET, 0);
        }
    }
    SetFilter(filter);
    SetEnabled(true);
}

ZQMTraceViewer::~ZQMTraceViewer() {
    if (valid_) SetEnabled(false);
}

void ZQMTraceViewer::SetFilter(std::string_view filter) {
    if (!valid_) return;
    platform::NamedMutexLock lock(mutex_);
    unsigned char* field = area_.data() + ZQM_TRACE_FILTER_OFFSET;
    std::memset(field, 0, ZQM_TRACE_FILTER_SIZE);
    std::memcpy(field, filter.data(), std::min(filter.size(), ZQM_TRACE_FILTER_MAX));
}

void ZQMTraceViewer::SetEnabled(bool enabled) {
    if (!valid_) return;
    platform::NamedMutexLock lock(mutex_);
    zqm::StoreEnabled(area_.data(), enabled ? 1 : 0);
}

std::vector<std::string> ZQMTraceViewer::TakeLines(std::size_t maxLines) {
    std::vector<std::string> lines;
    if (!valid_) return lines;
    platform::NamedMutexLock lock(mutex_);
    unsigned char* area = area_.data();
    const std::int32_t pending = ClampedPending(area);
    const auto count =
        static_cast<std::int32_t>(std::min(static_cast<std::size_t>(pending), maxLines));
    const std::int32_t writeIndex = ValidIndex(zqm::LoadInt32(area + ZQM_TRACE_WRITE_INDEX_OFFSET));
    std::int32_t index = (writeIndex - pending + ZQM_TRACE_SLOT_COUNT) % ZQM_TRACE_SLOT_COUNT;
    lines.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const char* slot = reinterpret_cast<const char*>(zqm::SlotAt(area, index));
        lines.emplace_back(slot, ::strnlen(slot, ZQM_TRACE_SLOT_SIZE));
        index = (index + 1) % ZQM_TRACE_SLOT_COUNT;
    }
    zqm::StoreInt32(area + ZQM_TRACE_PENDING_OFFSET, pending - count);
    return lines;
}

bool ZQMTraceViewer::WaitForLines(std::chrono::milliseconds timeout) {
    return valid_ && event_.Wait(timeout);
}

std::int32_t ZQMTraceViewer::PendingCount() {
    if (!valid_) return 0;
    platform::NamedMutexLock lock(mutex_);
    return zqm::LoadInt32(area_.data() + ZQM_TRACE_PENDING_OFFSET);
}

void ZQMTraceViewer::SetPendingCount(std::int32_t count) {
    EditArea(
        [count](unsigned char* area) { zqm::StoreInt32(area + ZQM_TRACE_PENDING_OFFSET, count); });
}

std::int32_t ZQMTraceViewer::WriteIndex() {
    if (!valid_) return 0;
    platform::NamedMutexLock lock(mutex_);
    return zqm::LoadInt32(area_.data() + ZQM_TRACE_WRITE_INDEX_OFFSET);
}

void ZQMTraceViewer::SetWriteIndex(std::int32_t index) {
    EditArea([index](unsigned char* area) {
        zqm::StoreInt32(area + ZQM_TRACE_WRITE_INDEX_OFFSET, index);
    });
}

std::string ZQMTraceViewer::Slot(std::int32_t index) {
    if (!valid_) return {};
    platform::NamedMutexLock lock(mutex_);
    const char* slot = reinterpret_cast<const char*>(zqm::SlotAt(area_.data(), ValidIndex(index)));
    return std::string(slot, ::strnlen(slot, ZQM_TRACE_SLOT_SIZE));
}

void ZQMTraceViewer::EditArea(const std::function<void(unsigned char* area)>& edit) {
    if (!valid_) return;
    platform::NamedMutexLock lock(mutex_);
    edit(area_.data());
}
