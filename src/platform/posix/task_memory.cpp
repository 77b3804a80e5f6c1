// Task memory for Linux. Every block carries a small header so that the runtime can count the
// blocks that are alive and refuse a free of something that is not a live block (a double
// free or a foreign pointer) instead of corrupting the heap; tests read both counts.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/posix/com_api.h"

namespace {

struct alignas(16) BlockHeader {
    std::uint64_t tag;
    std::uint64_t size;
};

constexpr std::uint64_t kLiveTag = 0x564F524E4C495645ull;  // "VORNLIVE"
constexpr std::uint64_t kFreedTag = 0x564F524E44454144ull;  // "VORNDEAD"

std::atomic<long> g_outstanding{0};
std::atomic<long> g_badFrees{0};
std::atomic<long> g_failCountdown{0};

bool ShouldFailThisAllocation() noexcept {
    long remaining = g_failCountdown.load(std::memory_order_relaxed);
    while (remaining > 0) {
        if (g_failCountdown.compare_exchange_weak(remaining, remaining - 1)) {
            return remaining == 1;
        }
    }
    return false;
}

BlockHeader* HeaderOf(void* block) noexcept {
    return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(block) - sizeof(BlockHeader));
}

}  // namespace

extern "C" {

void* CoTaskMemAlloc(SIZE_T cb) {
    if (ShouldFailThisAllocation()) return nullptr;
    if (cb > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + cb));
    if (header == nullptr) return nullptr;
    header->tag = kLiveTag;
    header->size = cb;
    g_outstanding.fetch_add(1, std::memory_order_relaxed);
    return header + 1;
}

void CoTaskMemFree(void* pv) {
    if (pv == nullptr) return;
    BlockHeader* header = HeaderOf(pv);
    if (header->tag != kLiveTag) {
        g_badFrees.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    header->tag = kFreedTag;
    g_outstanding.fetch_sub(1, std::memory_order_relaxed);
    std::free(header);
}

void* CoTaskMemRealloc(void* pv, SIZE_T cb) {
    if (pv == nullptr) return CoTaskMemAlloc(cb);
    BlockHeader* header = HeaderOf(pv);
    if (header->tag != kLiveTag) {
        g_badFrees.fetch_add(1, std::memory_order_relaxed);
        return nullptr;
    }
    if (cb == 0) {
        CoTaskMemFree(pv);
        return nullptr;
    }
    void* fresh = CoTaskMemAlloc(cb);
    if (fresh == nullptr) return nullptr;  // the old block stays valid, as realloc leaves it
    std::memcpy(fresh, pv, header->size < cb ? header->size : cb);
    CoTaskMemFree(pv);
    return fresh;
}

long VornTaskMemOutstanding() { return g_outstanding.load(std::memory_order_relaxed); }

long VornTaskMemBadFrees() { return g_badFrees.load(std::memory_order_relaxed); }

void VornTaskMemFailAllocation(long n) { g_failCountdown.store(n < 0 ? 0 : n); }

}  // extern "C"
