#include "stack/call_tracking.h"

namespace stack {
namespace {
thread_local int t_untrackedDepth = 0;
}

UntrackedScope::UntrackedScope() noexcept {
    ++t_untrackedDepth;
}

UntrackedScope::~UntrackedScope() {
    --t_untrackedDepth;
}

bool UntrackedScope::Active() noexcept {
    return t_untrackedDepth > 0;
}

}  // namespace stack
