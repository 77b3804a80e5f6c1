// ANSI text on Windows is the system's ANSI code page.
#include "platform/text.h"

#include <climits>

namespace platform {
namespace {

// The conversion functions count in int; longer text is converted in pieces that end where a
// piece may end (not inside a surrogate pair, not after a double-byte lead byte).
constexpr std::size_t kLargestPiece = INT_MAX / 2;

std::size_t WidePieceLength(WideStringView text) {
    std::size_t length = text.size() < kLargestPiece ? text.size() : kLargestPiece;
    if (length < text.size() && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) {
        --length;
    }
    return length;
}

std::size_t AnsiPieceLength(std::string_view text) {
    std::size_t length = text.size() < kLargestPiece ? text.size() : kLargestPiece;
    // Lead bytes are never below 0x80, so a piece may end after any such byte.
    while (length < text.size() && length > 1 &&
           static_cast<unsigned char>(text[length - 1]) >= 0x80) {
        --length;
    }
    return length;
}

}  // namespace

std::string WideToAnsi(WideStringView text) {
    std::string out;
    while (!text.empty()) {
        const std::size_t piece = WidePieceLength(text);
        const int pieceLength = static_cast<int>(piece);
        const int needed =
            WideCharToMultiByte(CP_ACP, 0, text.data(), pieceLength, nullptr, 0, nullptr, nullptr);
        if (needed > 0) {
            const std::size_t start = out.size();
            out.resize(start + static_cast<std::size_t>(needed));
            WideCharToMultiByte(CP_ACP, 0, text.data(), pieceLength, out.data() + start, needed,
                                nullptr, nullptr);
        }
        text.remove_prefix(piece);
    }
    return out;
}

WideString AnsiToWide(std::string_view text) {
    WideString out;
    while (!text.empty()) {
        const std::size_t piece = AnsiPieceLength(text);
        const int pieceLength = static_cast<int>(piece);
        const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), pieceLength, nullptr, 0);
        if (needed > 0) {
            const std::size_t start = out.size();
            out.resize(start + static_cast<std::size_t>(needed));
            MultiByteToWideChar(CP_ACP, 0, text.data(), pieceLength, out.data() + start, needed);
        }
        text.remove_prefix(piece);
    }
    return out;
}

}  // namespace platform
