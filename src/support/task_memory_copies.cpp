#include "support/task_memory_copies.h"

#include <cstdint>
#include <cstring>

#include "support/vlx_runtime_error.h"

WCHAR* CreateStringData(const WCHAR* text) {
    const std::size_t length = platform::WideLength(text);
    if (length >= SIZE_MAX / sizeof(WCHAR)) return nullptr;
    const std::size_t bytes = (length + 1) * sizeof(WCHAR);
    auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc(bytes));
    if (copy == nullptr) return nullptr;
    if (length > 0) std::memcpy(copy, text, length * sizeof(WCHAR));
    copy[length] = 0;
    return copy;
}

void* CoTaskMemAllocWithThrowError(SIZE_T size) {
    void* block = CoTaskMemAlloc(size);
    if (block == nullptr) throw VLX_RuntimeError(E_OUTOFMEMORY);
    return block;
}
