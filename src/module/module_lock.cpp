#include "module/module_lock.h"

#include "platform/interlocked.h"

namespace module {
namespace {
platform::InterlockedCounter g_lockCount{0};
}

LONG ModuleLock::Lock() noexcept { return g_lockCount.Increment(); }
LONG ModuleLock::Unlock() noexcept { return g_lockCount.Decrement(); }
LONG ModuleLock::Count() noexcept { return g_lockCount.Value(); }

}  // namespace module
