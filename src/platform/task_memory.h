// RAII for COM task-memory blocks: a TaskMem<T> owns one block from CoTaskMemAlloc (or one that
// an interface handed back through an out-parameter) and frees it with CoTaskMemFree.
//
//   platform::TaskMem<BYTE> data;
//   RETURN_IF_FAILED(message->GetSendData(&size, data.put()));
#pragma once

#include <utility>

#include "platform/com.h"

namespace platform {

template <class T>
class TaskMem {
public:
    TaskMem() noexcept = default;
    explicit TaskMem(T* block) noexcept : block_(block) {}
    TaskMem(const TaskMem&) = delete;
    TaskMem& operator=(const TaskMem&) = delete;
    TaskMem(TaskMem&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    TaskMem& operator=(TaskMem&& other) noexcept {
        if (this != &other) {
            reset();
            block_ = std::exchange(other.block_, nullptr);
        }
        return *this;
    }
    ~TaskMem() { reset(); }

    T* get() const noexcept { return block_; }
    explicit operator bool() const noexcept { return block_ != nullptr; }

    // Frees the current block and returns the address for an out-parameter.
    T** put() noexcept {
        reset();
        return &block_;
    }

    // Hands the block to the caller, who must free it.
    [[nodiscard]] T* release() noexcept { return std::exchange(block_, nullptr); }

    void reset(T* block = nullptr) noexcept {
        if (T* old = std::exchange(block_, block)) CoTaskMemFree(old);
    }

private:
    T* block_ = nullptr;
};

}  // namespace platform
