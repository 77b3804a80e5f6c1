// The decimal conversion used for every number in configuration text: leading white space is
// skipped, one optional sign is taken, then digits up to the first non-digit; the rest is
// ignored. No digits gives 0; a number beyond the signed 32-bit range gives the nearer limit.
// There is no hexadecimal or octal form.
//
//   config::ConvertDecimal(" +7x") == 7;  config::ConvertDecimal("abc") == 0
#pragma once

#include <string_view>

#include "platform/com.h"

namespace config {

LONG ConvertDecimal(std::string_view text) noexcept;

}  // namespace config
