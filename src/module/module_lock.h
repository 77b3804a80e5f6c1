// The module's lock count: live protocol objects (plain or aggregated), outstanding
// LockServer(TRUE) calls, and a class factory that a client holds. The module may be unloaded
// exactly when it is 0. Changed only by interlocked increment and decrement; read without a lock.
#pragma once

#include "platform/com.h"

namespace module {

class ModuleLock {
public:
    static LONG Lock() noexcept;
    static LONG Unlock() noexcept;
    static LONG Count() noexcept;
};

}  // namespace module
