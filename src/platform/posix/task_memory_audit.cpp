// The Linux task allocator keeps its own counts for the whole process, so there is nothing to
// install.
#include "platform/task_memory_audit.h"

namespace platform {

HRESULT TaskMemoryAudit::Install() noexcept {
    return S_OK;
}

long TaskMemoryAudit::Outstanding() noexcept {
    return VornTaskMemOutstanding();
}

long TaskMemoryAudit::BadFrees() noexcept {
    return VornTaskMemBadFrees();
}

void TaskMemoryAudit::FailAllocation(long n) noexcept {
    VornTaskMemFailAllocation(n);
}

}  // namespace platform
