// The error idiom at every COM boundary: an operation that returns an HRESULT is checked with
// one of these macros, which accept nothing but an HRESULT, instead of hand-written if-ladders.
//
//   RETURN_IF_FAILED(message->GetMessageID(&id));
//   RETURN_HR_IF(E_POINTER, out == nullptr);
//   RETURN_HR_IF_NULL(E_OUTOFMEMORY, block);
#pragma once

#include <type_traits>

#include "platform/com.h"

namespace platform::detail {

template <class T>
constexpr HRESULT CheckedHresult(T hr) noexcept {
    static_assert(std::is_same_v<T, HRESULT>, "only an HRESULT may be checked as a result");
    return hr;
}

}  // namespace platform::detail

#define RETURN_IF_FAILED(expr)                                                    \
    do {                                                                          \
        const HRESULT vorn_hr_ = ::platform::detail::CheckedHresult((expr));      \
        if (FAILED(vorn_hr_)) return vorn_hr_;                                    \
    } while (false)

#define RETURN_HR_IF(hr, condition)                                               \
    do {                                                                          \
        if (condition) return ::platform::detail::CheckedHresult((hr));           \
    } while (false)

#define RETURN_HR_IF_NULL(hr, pointer) RETURN_HR_IF((hr), (pointer) == nullptr)
