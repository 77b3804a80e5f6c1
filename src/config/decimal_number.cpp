#include "config/decimal_number.h"

#include <cstdint>
#include <limits>

namespace config {
namespace {

bool IsWhiteSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

}  // namespace

LONG ConvertDecimal(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The magnitude stops growing one past the largest that a LONG can take, so any number of
    // digits is read without overflow and still clamps.
    constexpr std::int64_t kLargestNegative =
        -static_cast<std::int64_t>(std::numeric_limits<LONG>::min());
    std::int64_t magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLargestNegative) magnitude = kLargestNegative + 1;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<LONG>::max()) return std::numeric_limits<LONG>::max();
    if (value < std::numeric_limits<LONG>::min()) return std::numeric_limits<LONG>::min();
    return static_cast<LONG>(value);
}

}  // namespace config
