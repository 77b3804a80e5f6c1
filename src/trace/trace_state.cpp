// The trace facility's static objects and the mapping of the shared area.
//
// Order matters: the in-process lock, the trace mutex and the trace event must exist before the
// CZQMTraceInit object maps the area, and must outlive it when it unmaps. They are function-local
// statics: TheInit() constructs TraceObjects completely before CZQMTraceInit, so they are
// destroyed after it, whichever file's static initialisation comes first. The one namespace-scope
// object below makes the mapping happen at load, ahead of the module's other static objects; a
// trace call made earlier finds the area not yet mapped and returns, as before load.
#include <atomic>

#include "trace/trace_state.h"
#include "trace/zqm_trace_area.h"

namespace {

struct TraceObjects {
    platform::CriticalSection lock;
    platform::NamedMutex mutex =
        platform::NamedMutex::CreateOrOpen(platform::KernelObjectName(ZQM_TRACE_MUTEX_NAME));
    platform::NamedEvent event =
        platform::NamedEvent::CreateOrOpen(platform::KernelObjectName(ZQM_TRACE_EVENT_NAME));
    platform::SharedMapping area;  // replaced only by ZQMTraceMap and ZQMTraceUnmap
};

TraceObjects& Objects() noexcept {
    static TraceObjects objects;
    return objects;
}

CZQMTraceInit& TheInit() noexcept {
    Objects();
    static CZQMTraceInit init;
    return init;
}

// Maps the area at load. The priority constructs it ahead of every unprioritised static object
// of the module that links this library, so that the module's own start-up (DllMain's process
// attach, or its Linux counterpart) finds the trace objects in place and its unload work runs
// before they are destroyed, as on Windows, where DllMain runs after all static constructors.
struct LoadTimeInit {
    LoadTimeInit() noexcept { TheInit(); }
};
[[maybe_unused]] LoadTimeInit loadTimeInit __attribute__((init_priority(1000)));

}  // namespace

namespace zqm::detail {

constinit std::atomic<unsigned char*> mappedArea{nullptr};

platform::CriticalSection& TraceLock() noexcept {
    return Objects().lock;
}
platform::NamedMutex& TraceMutex() noexcept {
    return Objects().mutex;
}
platform::NamedEvent& TraceEvent() noexcept {
    return Objects().event;
}

}  // namespace zqm::detail

CZQMTraceInit::CZQMTraceInit() noexcept {
    ZQMTraceMap();
}

CZQMTraceInit::~CZQMTraceInit() {
    ZQMTraceUnmap();
}

void ZQMTraceMap() noexcept {
    // No lock: at load nothing can trace yet, and a mutex held by a stuck viewer must not hang
    // the loading of the module.
    TraceObjects& objects = Objects();
    zqm::detail::mappedArea.store(nullptr, std::memory_order_release);
    try {
        objects.area =
            platform::SharedMapping::OpenExisting(platform::KernelObjectName(ZQM_TRACE_AREA_NAME));
    } catch (...) {
        objects.area.Close();
    }
    if (!objects.area.valid()) return;
    // Every write goes to a fixed position; an area too small for the ring is not used at all.
    if (objects.area.size() < ZQM_TRACE_AREA_SIZE) {
        objects.area.Close();
        return;
    }
    zqm::detail::ResetBackPressure();
    zqm::detail::mappedArea.store(objects.area.data(), std::memory_order_release);
}

void ZQMTraceUnmap() noexcept {
    TraceObjects& objects = Objects();
    platform::NamedMutexLock lock(objects.mutex);
    zqm::detail::mappedArea.store(nullptr, std::memory_order_release);
    objects.area.Close();
}

bool ZQMTraceMapped() noexcept {
    return zqm::detail::MappedArea() != nullptr;
}
