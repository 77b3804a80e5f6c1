#include "support/new_handler.h"

#include <atomic>
#include <mutex>

#include "support/vlx_runtime_error.h"

namespace {

// Barriers entered and not yet left on this thread.
thread_local int t_barrierDepth = 0;

// Serialises installing and restoring the process-wide handler.
std::mutex g_installLock;
// Barriers active on all threads; guarded by g_installLock.
int g_activeBarriers = 0;
// The handler in force outside every barrier. Written under g_installLock, read without it by
// the dispatcher, which may run at any time on any thread.
std::atomic<std::new_handler> g_outsideHandler{nullptr};

void DispatchingNewHandler() {
    if (t_barrierDepth > 0) throw VLX_RuntimeError(E_OUTOFMEMORY);
    const std::new_handler outside = g_outsideHandler.load();
    if (outside == nullptr) throw std::bad_alloc();
    outside();
}

}  // namespace

void SetNewHandlerWithThrowError(std::new_handler* savedHandler, int* savedMode) {
    std::new_handler handlerBefore = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_installLock);
        const std::new_handler current = std::get_new_handler();
        // Someone may have replaced the dispatcher while barriers were active; adopt theirs as
        // the outside handler rather than lose the throwing behaviour.
        if (current != &DispatchingNewHandler) {
            g_outsideHandler.store(current);
            std::set_new_handler(&DispatchingNewHandler);
        }
        ++g_activeBarriers;
        handlerBefore = t_barrierDepth > 0 ? &DispatchingNewHandler : g_outsideHandler.load();
    }
    const int depthBefore = t_barrierDepth++;
    if (savedHandler != nullptr) *savedHandler = handlerBefore;
    if (savedMode != nullptr) *savedMode = depthBefore;
}

void ResetNewHandler(std::new_handler /*savedHandler*/, int savedMode) {
    const int targetDepth = savedMode < 0 ? 0 : savedMode;
    const int leaving = t_barrierDepth - targetDepth;
    if (leaving <= 0) return;  // no barrier of this thread above that level
    t_barrierDepth = targetDepth;

    std::lock_guard<std::mutex> guard(g_installLock);
    g_activeBarriers = g_activeBarriers > leaving ? g_activeBarriers - leaving : 0;
    // Leave a handler that someone installed over the dispatcher in place.
    if (g_activeBarriers == 0 && std::get_new_handler() == &DispatchingNewHandler) {
        std::set_new_handler(g_outsideHandler.load());
    }
}
