// On Windows the COM runtime's malloc spy watches task memory: it counts blocks, refuses a free
// of a block that is not live (so a double free is counted instead of corrupting the heap), and
// forces a failure by asking for zero bytes. It is registered before the tests start and stays.
#include <atomic>

#include "platform/com.h"
#include "task_memory_hooks.h"

namespace testing_support {
namespace {

class CountingMallocSpy final : public IMallocSpy {
  public:
    std::atomic<long> allocated{0};
    std::atomic<long> freed{0};
    std::atomic<long> badFrees{0};
    std::atomic<long> failCountdown{0};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IMallocSpy)) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    // A static object that lives as long as the process.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cbRequest) override {
        return ShouldFail() ? 0 : cbRequest;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* pActual) override {
        if (pActual != nullptr) allocated.fetch_add(1);
        return pActual;
    }
    void* STDMETHODCALLTYPE PreFree(void* pRequest, BOOL fSpyed) override {
        if (pRequest == nullptr) return nullptr;
        if (!fSpyed) {
            badFrees.fetch_add(1);
            return nullptr;
        }
        freed.fetch_add(1);
        return pRequest;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest,
                                        BOOL) override {
        *ppNewRequest = pRequest;
        return cbRequest;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* pActual, BOOL) override { return pActual; }
    void* STDMETHODCALLTYPE PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

  private:
    bool ShouldFail() {
        long remaining = failCountdown.load();
        while (remaining > 0) {
            if (failCountdown.compare_exchange_weak(remaining, remaining - 1)) {
                return remaining == 1;
            }
        }
        return false;
    }
};

CountingMallocSpy& Spy() {
    static CountingMallocSpy spy;
    return spy;
}

// Registered during start-up, before any test allocates task memory.
const bool g_spyRegistered = SUCCEEDED(CoRegisterMallocSpy(&Spy()));

long Outstanding() {
    return Spy().allocated.load() - Spy().freed.load();
}

}  // namespace

bool TaskMemHooks::Available() noexcept {
    return g_spyRegistered;
}

void TaskMemHooks::FailNthAllocation(long n) noexcept {
    Spy().failCountdown.store(n < 0 ? 0 : n);
}

TaskMemHooks::TaskMemHooks() noexcept
    : outstandingBefore_(Outstanding()), badFreesBefore_(Spy().badFrees.load()) {}

TaskMemHooks::~TaskMemHooks() {
    FailNthAllocation(0);
}

long TaskMemHooks::NewlyOutstanding() const noexcept {
    return Outstanding() - outstandingBefore_;
}

long TaskMemHooks::NewBadFrees() const noexcept {
    return Spy().badFrees.load() - badFreesBefore_;
}

}  // namespace testing_support
