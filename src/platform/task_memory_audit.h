// Audits COM task memory, so that a test can prove that every block handed across an interface
// was freed, and freed once.
//
//   platform::TaskMemoryAudit::Install();            // once, before the blocks of interest
//   const long before = platform::TaskMemoryAudit::Outstanding();
//   ...                                              // act
//   EXPECT_EQ(platform::TaskMemoryAudit::Outstanding(), before);
//   EXPECT_EQ(platform::TaskMemoryAudit::BadFrees(), 0);
//
// Compare counts before and after, never absolute values: the runtime may hold blocks of its
// own. Linux: the platform's task allocator counts every block of the process and refuses a free
// of a block that is not live. Windows: Install() registers a malloc spy with the COM runtime,
// which sees the blocks allocated while it is installed; a second free of a block it saw being
// freed is counted and refused (the heap never sees it). Frees of blocks allocated before
// Install() are not judged.
#pragma once

#include "platform/com.h"

namespace platform {

class TaskMemoryAudit {
public:
    // Starts the audit for the rest of the process; later calls change nothing. Returns the
    // result of the registration with the runtime (S_OK when auditing works).
    static HRESULT Install() noexcept;

    // Blocks allocated and not yet freed (Windows: only blocks allocated since Install()).
    static long Outstanding() noexcept;

    // Frees refused because the block was not live: double frees and foreign pointers (Windows:
    // second frees of blocks seen since Install()).
    static long BadFrees() noexcept;

    // The n-th task-memory allocation from now fails (1 = the next one); 0 disarms. Windows:
    // only while the audit is installed.
    static void FailAllocation(long n) noexcept;
};

}  // namespace platform
