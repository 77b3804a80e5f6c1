// The Linux COM runtime counts task memory itself.
#include "platform/com.h"
#include "task_memory_hooks.h"

namespace testing_support {

bool TaskMemHooks::Available() noexcept {
    return true;
}

void TaskMemHooks::FailNthAllocation(long n) noexcept {
    VornTaskMemFailAllocation(n);
}

TaskMemHooks::TaskMemHooks() noexcept
    : outstandingBefore_(VornTaskMemOutstanding()), badFreesBefore_(VornTaskMemBadFrees()) {}

TaskMemHooks::~TaskMemHooks() {
    VornTaskMemFailAllocation(0);
}

long TaskMemHooks::NewlyOutstanding() const noexcept {
    return VornTaskMemOutstanding() - outstandingBefore_;
}

long TaskMemHooks::NewBadFrees() const noexcept {
    return VornTaskMemBadFrees() - badFreesBefore_;
}

}  // namespace testing_support
