// The one include for COM types and the COM runtime on both targets. On Windows it is the
// real Windows API; on Linux it is the platform layer's own subset (platform/posix). Code
// above the platform layer includes this file and never the operating system's headers.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <objbase.h>
#include <unknwn.h>
#else
#include "platform/posix/com_api.h"
#endif

#include <string>
#include <string_view>

// A wide string literal of the platform's 16-bit character type: WIDE("text").
#if defined(_WIN32)
#define VORN_WIDE_(text) L##text
#else
#define VORN_WIDE_(text) u##text
#endif
#define WIDE(text) VORN_WIDE_(text)

static_assert(sizeof(WCHAR) == 2, "interfaces carry UTF-16 text");
static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4, "interface integers are 32 bits");

namespace platform {

using WideString = std::basic_string<WCHAR>;
using WideStringView = std::basic_string_view<WCHAR>;

// Length of a NUL-terminated wide text; a null pointer counts as empty.
inline std::size_t WideLength(const WCHAR* text) noexcept {
    if (text == nullptr) return 0;
    std::size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

inline WideStringView WideView(const WCHAR* text) noexcept {
    return text == nullptr ? WideStringView{} : WideStringView{text, WideLength(text)};
}

}  // namespace platform
