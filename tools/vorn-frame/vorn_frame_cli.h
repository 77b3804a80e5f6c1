// The command line of vorn-frame, kept apart from main() so that tests can run it in-process.
//
//   vorn-frame build [--dna N] [--da1 N] [--da2 N] [--sid N] [--no-response] [--dest HEX] [HEX]
//   vorn-frame check HEX
//
// build prints the frame as upper-case hex bytes on one line; check prints "OK" and the data
// ("OK -" without data) or "BAD BCC". Hex may be split over several words and may contain
// blanks between byte pairs. N is decimal or 0x-prefixed hex in 0..255. Errors are one line on
// stderr.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com.h"

namespace vorn::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadBcc = 1;
inline constexpr int kExitUsage = 2;

struct Outcome {
    int exitCode;
    std::string out;  // for stdout, newline-terminated
    std::string err;  // for stderr, newline-terminated
};

// Runs one command; arguments exclude the program name.
Outcome Run(std::span<const std::string_view> arguments);

// Bytes from hex words: blanks separate byte groups, each group has an even number of digits.
// On failure returns nullopt and says why in *error.
std::optional<std::vector<BYTE>> ParseHex(std::span<const std::string_view> words,
                                          std::string* error);

// "AB 00 0F": upper-case pairs separated by single spaces.
std::string FormatHex(std::span<const BYTE> bytes);

}  // namespace vorn::cli
