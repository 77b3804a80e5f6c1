// Named kernel objects shared between processes: a shared memory mapping, a mutex and an
// auto-reset event. They are what the trace facility and its viewer meet through.
//
//   using platform::KernelObjectName;
//   auto mutex = platform::NamedMutex::CreateOrOpen(KernelObjectName("_ZQM_TraceMutex"));
//   auto event = platform::NamedEvent::CreateOrOpen(KernelObjectName("_ZQM_TraceEvent"));
//   auto area = platform::SharedMapping::OpenExisting(KernelObjectName("_ZQM_TraceOutput"));
//   if (area.valid()) {
//       platform::NamedMutexLock lock(mutex);
//       if (lock.owns()) { area.data()[0] = 1; event.Signal(); }
//   }
//
// Windows: file mapping, mutex and event objects of that name in the session namespace. Linux:
// POSIX shared-memory objects named "/" + name; the mutex object holds a robust process-shared
// mutex (initialised by exactly one of the processes that create it at the same time), the event
// object a futex word. On Linux the mutex and event objects stay in place when their last user
// closes them, so every process that ever opens a name meets the same lock; a mapping made with
// CreateOrOpen is removed by name when its owner closes it.
//
// Test isolation: when the environment variable VORN_KERNEL_NAMESPACE is set, KernelObjectName
// puts its value and a "." in front of every name (a private namespace per test program);
// unset, the names are exactly the ones given.
//
// Every object is move-only and closes what it holds when destroyed. All operations are noexcept;
// a failure shows as an object that is not valid() or as a false result.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/com.h"
#include "platform/thread_annotations.h"
#include "platform/unique_handle.h"

namespace platform {

// The name under which an object is created or opened: `name`, prefixed by the test namespace
// from VORN_KERNEL_NAMESPACE when that is set.
std::string KernelObjectName(std::string_view name);
// The same with an explicit namespace (empty: none). Characters other than letters, digits,
// '-', '_' and '.' in the namespace become '_', so it can never reach into another namespace.
std::string KernelObjectName(std::string_view name, std::string_view kernelNamespace);

namespace detail {

#if defined(_WIN32)
struct ObjectHandleTraits {
    using Handle = HANDLE;
    static constexpr Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept;
};
#else
struct ObjectHandleTraits {
    using Handle = int;
    static constexpr Handle Invalid() noexcept { return -1; }
    static void Close(Handle handle) noexcept;
};
#endif

struct MappedView {
    unsigned char* data = nullptr;
    std::size_t size = 0;
    bool operator==(const MappedView&) const = default;
};

struct MappedViewTraits {
    using Handle = MappedView;
    static constexpr Handle Invalid() noexcept { return {}; }
    static void Close(Handle view) noexcept;
};

}  // namespace detail

// A whole shared-memory mapping, mapped read/write.
class SharedMapping {
  public:
    SharedMapping() noexcept = default;
    SharedMapping(SharedMapping&& other) noexcept { *this = std::move(other); }
    SharedMapping& operator=(SharedMapping&& other) noexcept;
    SharedMapping(const SharedMapping&) = delete;
    SharedMapping& operator=(const SharedMapping&) = delete;
    ~SharedMapping() { Close(); }

    // Opens a mapping that someone else created and maps all of it; never creates one.
    static SharedMapping OpenExisting(const std::string& name) noexcept;
    // Creates a zero-filled mapping of at least `size` bytes, or opens the one of that name that
    // already exists (existed() tells which). The caller becomes its owner: on Linux, Close
    // removes the name, as the last handle on Windows does. Fails if an existing mapping is
    // smaller than `size`.
    static SharedMapping CreateOrOpen(const std::string& name, std::size_t size) noexcept;

    bool valid() const noexcept { return view_.valid(); }
    unsigned char* data() const noexcept { return view_.get().data; }
    // Bytes mapped: the whole mapping (on Windows, rounded up to whole pages).
    std::size_t size() const noexcept { return view_.get().size; }
    bool existed() const noexcept { return existed_; }

    void Close() noexcept;

  private:
    UniqueHandle<detail::MappedViewTraits> view_;
    UniqueHandle<detail::ObjectHandleTraits> handle_;
    std::string removeOnClose_;  // Linux owner only: the name to remove
    bool existed_ = false;
};

// A mutex shared between processes. The owner of a mutex may take it again (as on Windows); a
// mutex whose owner died while holding it is taken over and used like a released one.
class CAPABILITY("mutex") NamedMutex {
  public:
    NamedMutex() noexcept = default;
    NamedMutex(NamedMutex&&) noexcept = default;
    NamedMutex& operator=(NamedMutex&&) noexcept = default;

    static NamedMutex CreateOrOpen(const std::string& name) noexcept;

    bool valid() const noexcept { return object_.valid(); }

    // Waits without a time limit. False only when the mutex is not open or not usable.
    [[nodiscard]] bool Acquire() noexcept TRY_ACQUIRE(true);
    void Release() noexcept RELEASE();

  private:
    UniqueHandle<detail::MappedViewTraits> block_;     // Linux: the shared mutex
    UniqueHandle<detail::ObjectHandleTraits> object_;  // Windows: the mutex; Linux: the fd
};

// Scope guard for a NamedMutex. Unlock and Lock let a holder step out and back in (as a writer
// that waits for room does); the destructor releases only what is held.
class NamedMutexLock {
  public:
    explicit NamedMutexLock(NamedMutex& mutex) noexcept : mutex_(mutex) { Lock(); }
    ~NamedMutexLock() { Unlock(); }
    NamedMutexLock(const NamedMutexLock&) = delete;
    NamedMutexLock& operator=(const NamedMutexLock&) = delete;

    bool owns() const noexcept { return owns_; }
    bool Lock() noexcept NO_THREAD_SAFETY_ANALYSIS {
        if (!owns_) owns_ = mutex_.Acquire();
        return owns_;
    }
    void Unlock() noexcept NO_THREAD_SAFETY_ANALYSIS {
        if (owns_) mutex_.Release();
        owns_ = false;
    }

  private:
    NamedMutex& mutex_;
    bool owns_ = false;
};

// An auto-reset event shared between processes: Signal wakes one waiter, or the next one to
// wait if nobody waits; several signals before a wait count as one.
class NamedEvent {
  public:
    NamedEvent() noexcept = default;
    NamedEvent(NamedEvent&&) noexcept = default;
    NamedEvent& operator=(NamedEvent&&) noexcept = default;

    static NamedEvent CreateOrOpen(const std::string& name) noexcept;

    bool valid() const noexcept { return object_.valid(); }

    void Signal() noexcept;
    // True if the event was signalled within `timeout` (which resets it); false on time-out.
    bool Wait(std::chrono::milliseconds timeout) noexcept;

  private:
    UniqueHandle<detail::MappedViewTraits> block_;     // Linux: the futex word
    UniqueHandle<detail::ObjectHandleTraits> object_;  // Windows: the event; Linux: the fd
};

}  // namespace platform
