// Task memory for Linux. The runtime keeps the set of live blocks, so that it can count them and
// refuse a free of something that is not a live block (a double free or a foreign pointer)
// without ever touching that memory: a double free is a defined, counted no-op, also under the
// sanitizers. Every block carries a small header with its size, read only for live blocks.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/malloc_allocator.h"
#include "platform/posix/com_api.h"

namespace {

struct alignas(16) BlockHeader {
    std::uint64_t size;
};

// The set's memory comes from malloc (see platform/malloc_allocator.h).
struct LiveBlocks {
    std::mutex lock;
    // Disguised addresses (see Key), guarded by lock.
    std::unordered_set<std::uintptr_t, std::hash<std::uintptr_t>, std::equal_to<std::uintptr_t>,
                       platform::MallocAllocator<std::uintptr_t>>
        blocks;
};

// The set holds the addresses in disguise, so that leak checkers do not take the set for a
// reference: a block that nobody freed is still reported as leaked.
std::uintptr_t Key(void* block) noexcept {
    return ~reinterpret_cast<std::uintptr_t>(block);
}

LiveBlocks& Live() {
    // In static storage and never destroyed: frees may still come while the process exits, and
    // making it must not depend on operator new either.
    alignas(LiveBlocks) static unsigned char storage[sizeof(LiveBlocks)];
    static LiveBlocks* live = new (storage) LiveBlocks;
    return *live;
}

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

// Takes the block out of the live set; false (and counted) when it was not live.
bool Retire(void* block) noexcept {
    LiveBlocks& live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    if (live.blocks.erase(Key(block)) == 0) {
        g_badFrees.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    return true;
}

bool IsLive(void* block) noexcept {
    LiveBlocks& live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    return live.blocks.count(Key(block)) != 0;
}

}  // namespace

extern "C" {

void* CoTaskMemAlloc(SIZE_T cb) {
    if (ShouldFailThisAllocation()) return nullptr;
    if (cb > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + cb));
    if (header == nullptr) return nullptr;
    header->size = cb;
    void* block = header + 1;
    try {
        LiveBlocks& live = Live();
        std::lock_guard<std::mutex> guard(live.lock);
        live.blocks.insert(Key(block));
    } catch (...) {
        std::free(header);
        return nullptr;
    }
    g_outstanding.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void CoTaskMemFree(void* pv) {
    if (pv == nullptr || !Retire(pv)) return;
    g_outstanding.fetch_sub(1, std::memory_order_relaxed);
    std::free(HeaderOf(pv));
}

void* CoTaskMemRealloc(void* pv, SIZE_T cb) {
    if (pv == nullptr) return CoTaskMemAlloc(cb);
    if (!IsLive(pv)) {
        g_badFrees.fetch_add(1, std::memory_order_relaxed);
        return nullptr;
    }
    if (cb == 0) {
        CoTaskMemFree(pv);
        return nullptr;
    }
    void* fresh = CoTaskMemAlloc(cb);
    if (fresh == nullptr) return nullptr;  // the old block stays valid, as realloc leaves it
    const std::uint64_t oldSize = HeaderOf(pv)->size;
    std::memcpy(fresh, pv, oldSize < cb ? oldSize : cb);
    CoTaskMemFree(pv);
    return fresh;
}

long VornTaskMemOutstanding() {
    return g_outstanding.load(std::memory_order_relaxed);
}

long VornTaskMemBadFrees() {
    return g_badFrees.load(std::memory_order_relaxed);
}

void VornTaskMemFailAllocation(long n) {
    g_failCountdown.store(n < 0 ? 0 : n);
}

}  // extern "C"
