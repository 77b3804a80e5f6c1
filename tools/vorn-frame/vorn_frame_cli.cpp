#include "vorn_frame_cli.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "protocol/vorn_frame.h"

namespace vorn::cli {
namespace {

constexpr std::string_view kProgram = "vorn-frame: ";

Outcome Failure(const std::string& message) {
    return {kExitUsage, {}, std::string(kProgram) + message + "\n"};
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool AppendGroup(std::string_view group, std::vector<BYTE>& bytes, std::string* error) {
    if (group.size() % 2 != 0) {
        *error = "malformed hex '" + std::string(group) + "': odd number of digits";
        return false;
    }
    for (std::size_t i = 0; i < group.size(); i += 2) {
        const int high = HexDigit(group[i]);
        const int low = HexDigit(group[i + 1]);
        if (high < 0 || low < 0) {
            *error = "malformed hex '" + std::string(group) + "': not a hex digit";
            return false;
        }
        bytes.push_back(static_cast<BYTE>(high << 4 | low));
    }
    return true;
}

// A byte-sized option value: decimal, or hex with a 0x prefix.
std::optional<BYTE> ParseByteValue(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || status != std::errc{} || stop != end || value > 0xFF) return std::nullopt;
    return static_cast<BYTE>(value);
}

struct BuildSettings {
    BYTE dna = 0, da1 = 0, da2 = 0, sequenceId = 0;
    bool responseRequired = true;
    std::optional<DestinationAddressBlock> destination;
    std::vector<std::string_view> dataWords;
};

Outcome Build(std::span<const std::string_view> arguments) {
    BuildSettings settings;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (!argument.starts_with("--")) {
            settings.dataWords.push_back(argument);
            continue;
        }
        if (argument == "--no-response") {
            settings.responseRequired = false;
            continue;
        }
        BYTE* byteOption = argument == "--dna"   ? &settings.dna
                           : argument == "--da1" ? &settings.da1
                           : argument == "--da2" ? &settings.da2
                           : argument == "--sid" ? &settings.sequenceId
                                                 : nullptr;
        if (byteOption == nullptr && argument != "--dest") {
            return Failure("unknown option '" + std::string(argument) + "'");
        }
        if (i + 1 == arguments.size()) {
            return Failure(std::string(argument) + " needs a value");
        }
        const std::string_view value = arguments[++i];
        if (byteOption != nullptr) {
            const auto parsed = ParseByteValue(value);
            if (!parsed) {
                return Failure(std::string(argument) + " '" + std::string(value) +
                               "' is not a number in 0..255");
            }
            *byteOption = *parsed;
            continue;
        }
        std::string error;
        const std::string_view destinationWords[] = {value};
        const auto block = ParseHex(destinationWords, &error);
        if (!block) return Failure("--dest: " + error);
        if (block->size() != static_cast<std::size_t>(kDestinationBlockSize)) {
            return Failure("--dest needs 24 bytes (48 hex digits), got " +
                           std::to_string(block->size()));
        }
        settings.destination = DestinationAddressBlock::FromBytes(block->data());
    }

    std::string error;
    const auto data = ParseHex(settings.dataWords, &error);
    if (!data) return Failure(error);
    if (data->size() > static_cast<std::size_t>(kMaxDataForLengthField)) {
        return Failure("data of " + std::to_string(data->size()) + " bytes exceeds the " +
                       std::to_string(kMaxDataForLengthField) + " a frame can carry");
    }
    const auto frame = BuildFrame(settings.responseRequired ? 1 : 0, settings.dna, settings.da1,
                                  settings.da2, settings.sequenceId, *data,
                                  settings.destination ? &*settings.destination : nullptr);
    return {kExitOk, FormatHex(frame) + "\n", {}};
}

Outcome Check(std::span<const std::string_view> arguments) {
    for (const std::string_view argument : arguments) {
        if (argument.starts_with("--")) {
            return Failure("unknown option '" + std::string(argument) + "'");
        }
    }
    std::string error;
    const auto frame = ParseHex(arguments, &error);
    if (!frame) return Failure(error);
    if (frame->size() < static_cast<std::size_t>(kFrameOverhead)) {
        return Failure("a frame has at least 15 bytes, got " + std::to_string(frame->size()));
    }
    if (frame->size() > static_cast<std::size_t>(std::numeric_limits<LONG>::max())) {
        return Failure("frame too long");
    }
    const auto data = StripFrame(frame->data(), static_cast<LONG>(frame->size()));
    if (!data) return {kExitBadBcc, "BAD BCC\n", {}};
    return {kExitOk, data->empty() ? "OK -\n" : "OK " + FormatHex(*data) + "\n", {}};
}

}  // namespace

std::optional<std::vector<BYTE>> ParseHex(std::span<const std::string_view> words,
                                          std::string* error) {
    std::vector<BYTE> bytes;
    for (const std::string_view word : words) {
        std::size_t at = 0;
        while (at < word.size()) {
            if (IsBlank(word[at])) {
                ++at;
                continue;
            }
            std::size_t end = at;
            while (end < word.size() && !IsBlank(word[end])) ++end;
            if (!AppendGroup(word.substr(at, end - at), bytes, error)) return std::nullopt;
            at = end;
        }
    }
    return bytes;
}

std::string FormatHex(std::span<const BYTE> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const BYTE byte : bytes) {
        if (!text.empty()) text.push_back(' ');
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

Outcome Run(std::span<const std::string_view> arguments) {
    if (arguments.empty()) return Failure("expected a command: build or check");
    const std::string_view command = arguments.front();
    if (command == "build") return Build(arguments.subspan(1));
    if (command == "check") return Check(arguments.subspan(1));
    return Failure("unknown command '" + std::string(command) + "' (build or check)");
}

}  // namespace vorn::cli
