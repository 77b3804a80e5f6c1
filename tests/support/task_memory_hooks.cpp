// The hooks are a test-side view of the platform's task-memory audit, which is installed while
// the program starts, before any test allocates task memory.
#include "task_memory_hooks.h"

#include "platform/task_memory_audit.h"

namespace testing_support {
namespace {

const bool g_auditInstalled = SUCCEEDED(platform::TaskMemoryAudit::Install());

}  // namespace

bool TaskMemHooks::Available() noexcept {
    return g_auditInstalled;
}

void TaskMemHooks::FailNthAllocation(long n) noexcept {
    platform::TaskMemoryAudit::FailAllocation(n < 0 ? 0 : n);
}

TaskMemHooks::TaskMemHooks() noexcept
    : outstandingBefore_(platform::TaskMemoryAudit::Outstanding()),
      badFreesBefore_(platform::TaskMemoryAudit::BadFrees()) {}

TaskMemHooks::~TaskMemHooks() {
    FailNthAllocation(0);
}

long TaskMemHooks::NewlyOutstanding() const noexcept {
    return platform::TaskMemoryAudit::Outstanding() - outstandingBefore_;
}

long TaskMemHooks::NewBadFrees() const noexcept {
    return platform::TaskMemoryAudit::BadFrees() - badFreesBefore_;
}

}  // namespace testing_support
