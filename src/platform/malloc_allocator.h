// A standard-library allocator that takes its memory straight from malloc. The task-memory
// bookkeeping uses it, because the global operator new may be replaced by a test or have a
// new-handler that throws, and neither may reach an allocation inside the COM runtime.
//
//   std::unordered_set<std::uintptr_t, std::hash<std::uintptr_t>,
//                      std::equal_to<std::uintptr_t>,
//                      platform::MallocAllocator<std::uintptr_t>> blocks;
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace platform {

template <class T>
struct MallocAllocator {
    using value_type = T;

    MallocAllocator() = default;
    template <class U>
    MallocAllocator(const MallocAllocator<U>&) noexcept {}

    // Throws std::bad_alloc itself, never through a new-handler.
    T* allocate(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        void* memory = std::malloc(n * sizeof(T));
        if (memory == nullptr) throw std::bad_alloc();
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t) noexcept { std::free(memory); }

    template <class U>
    bool operator==(const MallocAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace platform
