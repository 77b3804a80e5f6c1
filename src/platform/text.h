// Conversion between the wide (UTF-16) text that crosses interfaces and the narrow text that
// configuration lookups, settings and trace lines use, in the system's ANSI code page.
//
//   std::string narrow = platform::WideToAnsi(configurationText);   // null gives ""
//   platform::WideString wide = platform::AnsiToWide(narrow);
//
// Windows converts with the ANSI code page (CP_ACP); a character the code page cannot represent
// becomes the code page's default character. Linux uses UTF-8 as its ANSI code page: a lone
// surrogate, which UTF-8 cannot encode, becomes '?', and bytes that are not UTF-8 decode to
// U+FFFD, one per maximal ill-formed sequence.
#pragma once

#include <string>
#include <string_view>

#include "platform/com.h"

namespace platform {

std::string WideToAnsi(WideStringView text);

inline std::string WideToAnsi(const WCHAR* text) {
    return WideToAnsi(WideView(text));
}

WideString AnsiToWide(std::string_view text);

}  // namespace platform
