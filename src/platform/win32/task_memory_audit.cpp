// Task-memory audit for Windows: a malloc spy, registered once with the COM runtime, that
// tracks the blocks allocated while it is installed.
#include "platform/task_memory_audit.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <unordered_set>

#include "platform/malloc_allocator.h"

namespace platform {
namespace {

// The spy lives as long as the process: the runtime keeps calling it, and a spy that has
// blocks outstanding cannot be revoked anyway. The runtime calls it from C, so nothing may leave
// it as an exception: when the bookkeeping itself runs out of memory, that block is simply not
// tracked.
class AuditingMallocSpy final : public IMallocSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMallocSpy)) {
            *ppv = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // Asking for 0 bytes makes the runtime fail the allocation.
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cbRequest) override {
        return ShouldFail() ? 0 : cbRequest;
    }

    void* STDMETHODCALLTYPE PostAlloc(void* pActual) override {
        if (pActual != nullptr) {
            std::lock_guard<std::mutex> guard(lock_);
            Track(pActual);
        }
        return pActual;
    }

    void* STDMETHODCALLTYPE PreFree(void* pRequest, BOOL) override {
        if (pRequest == nullptr) return nullptr;
        std::lock_guard<std::mutex> guard(lock_);
        if (live_.erase(pRequest) != 0) {
            RememberFreed(pRequest);
            return pRequest;
        }
        if (recentlyFreed_.count(pRequest) != 0) {
            // A second free: handing the heap a null pointer instead keeps it intact.
            ++badFrees_;
            return nullptr;
        }
        return pRequest;  // allocated before the spy was installed: not ours to judge
    }

    void STDMETHODCALLTYPE PostFree(BOOL) override {}

    SIZE_T STDMETHODCALLTYPE PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest,
                                        BOOL) override {
        t_reallocSource = pRequest;
        t_reallocSize = cbRequest;
        *ppNewRequest = pRequest;
        if (pRequest != nullptr) {
            std::lock_guard<std::mutex> guard(lock_);
            if (live_.count(pRequest) == 0 && recentlyFreed_.count(pRequest) != 0) {
                ++badFrees_;
                *ppNewRequest = nullptr;  // the reallocation of a dead block fails harmlessly
                t_reallocSource = nullptr;
            }
        }
        return cbRequest;
    }

    void* STDMETHODCALLTYPE PostRealloc(void* pActual, BOOL) override {
        void* source = t_reallocSource;
        std::lock_guard<std::mutex> guard(lock_);
        if (pActual != nullptr) {
            if (source != nullptr && live_.erase(source) != 0 && source != pActual) {
                RememberFreed(source);
            }
            Track(pActual);
        } else if (source != nullptr && t_reallocSize == 0) {
            if (live_.erase(source) != 0) RememberFreed(source);  // a reallocation to 0 frees
        }
        return pActual;
    }

    void* STDMETHODCALLTYPE PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

    long Outstanding() {
        std::lock_guard<std::mutex> guard(lock_);
        return static_cast<long>(live_.size());
    }
    long BadFrees() {
        std::lock_guard<std::mutex> guard(lock_);
        return badFrees_;
    }
    void FailAllocation(long n) { failCountdown_.store(n < 0 ? 0 : n); }

private:
    // How many freed addresses are remembered to recognise a second free.
    static constexpr std::size_t kFreedMemory = 1 << 16;

    bool ShouldFail() noexcept {
        long remaining = failCountdown_.load();
        while (remaining > 0) {
            if (failCountdown_.compare_exchange_weak(remaining, remaining - 1)) {
                return remaining == 1;
            }
        }
        return false;
    }

    void Track(void* block) noexcept {
        recentlyFreed_.erase(block);  // the address was reused
        try {
            live_.insert(block);
        } catch (...) {
        }
    }

    void RememberFreed(void* block) noexcept {
        try {
            if (recentlyFreed_.insert(block).second) freedOrder_.push_back(block);
        } catch (...) {
            recentlyFreed_.erase(block);
        }
        while (freedOrder_.size() > kFreedMemory) {
            recentlyFreed_.erase(freedOrder_.front());
            freedOrder_.pop_front();
        }
    }

    // The runtime holds its own lock across a Pre/Post pair; the pair's state is per thread
    // all the same, so that a runtime without that lock is not confused either.
    static thread_local void* t_reallocSource;
    static thread_local SIZE_T t_reallocSize;

    std::atomic<long> failCountdown_{0};
    using BlockSet =
        std::unordered_set<void*, std::hash<void*>, std::equal_to<void*>, MallocAllocator<void*>>;

    std::mutex lock_;
    BlockSet live_;                                         // guarded by lock_
    BlockSet recentlyFreed_;                                // guarded by lock_
    std::deque<void*, MallocAllocator<void*>> freedOrder_;  // guarded by lock_
    long badFrees_ = 0;                                     // guarded by lock_
};

thread_local void* AuditingMallocSpy::t_reallocSource = nullptr;
thread_local SIZE_T AuditingMallocSpy::t_reallocSize = 0;

AuditingMallocSpy& Spy() {
    static AuditingMallocSpy* spy = new AuditingMallocSpy;  // never destroyed, see above
    return *spy;
}

}  // namespace

HRESULT TaskMemoryAudit::Install() noexcept {
    static const HRESULT result = CoRegisterMallocSpy(&Spy());
    return result;
}

long TaskMemoryAudit::Outstanding() noexcept {
    return Spy().Outstanding();
}

long TaskMemoryAudit::BadFrees() noexcept {
    return Spy().BadFrees();
}

void TaskMemoryAudit::FailAllocation(long n) noexcept {
    Spy().FailAllocation(n);
}

}  // namespace platform
