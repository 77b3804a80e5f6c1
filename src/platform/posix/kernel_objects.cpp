// Named kernel objects on Linux: POSIX shared-memory objects named "/" + name.
#include <errno.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/kernel_objects.h"

namespace platform {

namespace detail {

void ObjectHandleTraits::Close(int fd) noexcept {
    ::close(fd);
}

void MappedViewTraits::Close(MappedView view) noexcept {
    ::munmap(view.data, view.size);
}

}  // namespace detail

namespace {

using Fd = UniqueHandle<detail::ObjectHandleTraits>;
using View = UniqueHandle<detail::MappedViewTraits>;

std::string ShmName(const std::string& name) {
    return "/" + name;
}

std::size_t ObjectSize(int fd) noexcept {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size < 0) return 0;
    return static_cast<std::size_t>(status.st_size);
}

View MapWhole(int fd, std::size_t size) noexcept {
    void* address = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) return View{};
    return View{detail::MappedView{static_cast<unsigned char*>(address), size}};
}

// Grows an object to at least `size` bytes; the new bytes read as zero. Two processes that do
// this at once only ever extend it to the same size, so neither loses the other's bytes.
bool EnsureSize(int fd, std::size_t size) noexcept {
    if (ObjectSize(fd) >= size) return true;
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

// The small object that backs a mutex or an event, created zero-filled if it does not exist.
View OpenControlBlock(const std::string& name, std::size_t size, Fd* fd) noexcept {
    *fd = Fd{::shm_open(ShmName(name).c_str(), O_RDWR | O_CREAT, 0600)};
    if (!fd->valid() || !EnsureSize(fd->get(), size)) return View{};
    return MapWhole(fd->get(), size);
}

struct SharedMutexBlock {
    std::uint32_t state;  // one of the MutexState values, accessed atomically
    pthread_mutex_t mutex;
};

enum MutexState : std::uint32_t { kFresh = 0, kInitialising = 1, kReady = 2 };

// A process that creates the object at the same time as another must not initialise the mutex
// a second time (that could wipe out a lock the other already holds): the first to move the state
// from fresh to initialising does it, everyone else waits until it is ready.
bool InitialiseOnce(SharedMutexBlock* block) noexcept {
    std::atomic_ref<std::uint32_t> state(block->state);
    std::uint32_t expected = kFresh;
    if (state.compare_exchange_strong(expected, kInitialising, std::memory_order_acq_rel)) {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
        pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
        pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
        const int result = pthread_mutex_init(&block->mutex, &attributes);
        pthread_mutexattr_destroy(&attributes);
        if (result != 0) return false;
        state.store(kReady, std::memory_order_release);
        return true;
    }
    // A creator that died half-way would leave the state at initialising for good; give up
    // after a few seconds instead of waiting forever.
    for (int waited = 0; state.load(std::memory_order_acquire) != kReady; ++waited) {
        if (waited >= 5000) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

long Futex(std::uint32_t* word, int operation, std::uint32_t value,
           const struct timespec* timeout) noexcept {
    // Without FUTEX_PRIVATE_FLAG, so that waiters in other processes are woken too.
    return ::syscall(SYS_futex, word, operation, value, timeout, nullptr, 0);
}

}  // namespace

// --- SharedMapping ---

SharedMapping SharedMapping::OpenExisting(const std::string& name) noexcept {
    SharedMapping mapping;
    Fd fd{::shm_open(ShmName(name).c_str(), O_RDWR, 0)};
    if (!fd.valid()) return mapping;
    const std::size_t size = ObjectSize(fd.get());
    if (size == 0) return mapping;
    mapping.view_ = MapWhole(fd.get(), size);
    return mapping;
}

SharedMapping SharedMapping::CreateOrOpen(const std::string& name, std::size_t size) noexcept {
    SharedMapping mapping;
    try {
        const std::string shmName = ShmName(name);
        Fd fd{::shm_open(shmName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600)};
        if (!fd.valid() && errno == EEXIST) {
            mapping.existed_ = true;
            fd = Fd{::shm_open(shmName.c_str(), O_RDWR, 0)};
        }
        if (!fd.valid()) return mapping;
        mapping.removeOnClose_ = shmName;
        if (!EnsureSize(fd.get(), size)) {
            mapping.Close();
            return mapping;
        }
        mapping.view_ = MapWhole(fd.get(), ObjectSize(fd.get()));
        if (!mapping.view_.valid()) mapping.Close();
    } catch (...) {
        mapping.Close();
    }
    return mapping;
}

void SharedMapping::Close() noexcept {
    view_.reset();
    handle_.reset();
    if (!removeOnClose_.empty()) {
        ::shm_unlink(removeOnClose_.c_str());
        removeOnClose_.clear();
    }
    existed_ = false;
}

// --- NamedMutex ---

NamedMutex NamedMutex::CreateOrOpen(const std::string& name) noexcept {
    NamedMutex mutex;
    Fd fd;
    View block = OpenControlBlock(name, sizeof(SharedMutexBlock), &fd);
    if (!block.valid() || !InitialiseOnce(reinterpret_cast<SharedMutexBlock*>(block.get().data))) {
        return mutex;
    }
    mutex.block_ = std::move(block);
    mutex.object_ = std::move(fd);
    return mutex;
}

bool NamedMutex::Acquire() noexcept {
    if (!block_.valid()) return false;
    pthread_mutex_t* mutex = &reinterpret_cast<SharedMutexBlock*>(block_.get().data)->mutex;
    const int result = pthread_mutex_lock(mutex);
    if (result == EOWNERDEAD) {
        // The owner died holding it; what it guarded is taken over as it stands.
        pthread_mutex_consistent(mutex);
        return true;
    }
    return result == 0;
}

void NamedMutex::Release() noexcept {
    if (!block_.valid()) return;
    pthread_mutex_unlock(&reinterpret_cast<SharedMutexBlock*>(block_.get().data)->mutex);
}

// --- NamedEvent ---

NamedEvent NamedEvent::CreateOrOpen(const std::string& name) noexcept {
    NamedEvent event;
    Fd fd;
    View block = OpenControlBlock(name, sizeof(std::uint32_t), &fd);
    if (!block.valid()) return event;
    event.block_ = std::move(block);
    event.object_ = std::move(fd);
    return event;
}

void NamedEvent::Signal() noexcept {
    if (!block_.valid()) return;
    auto* word = reinterpret_cast<std::uint32_t*>(block_.get().data);
    if (std::atomic_ref<std::uint32_t>(*word).exchange(1, std::memory_order_acq_rel) == 0) {
        Futex(word, FUTEX_WAKE, 1, nullptr);
    }
}

bool NamedEvent::Wait(std::chrono::milliseconds timeout) noexcept {
    if (!block_.valid()) return false;
    auto* word = reinterpret_cast<std::uint32_t*>(block_.get().data);
    std::atomic_ref<std::uint32_t> signalled(*word);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::uint32_t expected = 1;
        if (signalled.compare_exchange_strong(expected, 0, std::memory_order_acq_rel)) return true;
        const auto remaining = deadline - std::chrono::steady_clock::now();
        if (remaining <= std::chrono::steady_clock::duration::zero()) return false;
        const auto nanoseconds =
            std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
        struct timespec relative {};
        relative.tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
        relative.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
        // Sleeps only while the word is still 0; a signal in between makes it return at once.
        Futex(word, FUTEX_WAIT, 0, &relative);
    }
}

}  // namespace platform
