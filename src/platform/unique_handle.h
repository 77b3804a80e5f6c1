// One RAII template for every kind of operating-system handle. A traits type names the handle
// type, its invalid value and how it is closed:
//
//   struct FdTraits {
//       using Handle = int;
//       static constexpr Handle Invalid() noexcept { return -1; }
//       static void Close(Handle fd) noexcept { ::close(fd); }
//   };
//   using UniqueFd = platform::UniqueHandle<FdTraits>;
#pragma once

#include <utility>

namespace platform {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    void reset(Handle handle = Traits::Invalid()) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

private:
    Handle handle_ = Traits::Invalid();
};

}  // namespace platform
