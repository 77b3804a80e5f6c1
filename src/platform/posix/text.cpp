// ANSI text on Linux is UTF-8.
#include "platform/text.h"

#include <cstdint>

namespace platform {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t code) {
    auto byte = [&out](char32_t value) { out.push_back(static_cast<char>(value)); };
    if (code < 0x80) {
        byte(code);
    } else if (code < 0x800) {
        byte(0xC0 | (code >> 6));
        byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        byte(0xE0 | (code >> 12));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    } else {
        byte(0xF0 | (code >> 18));
        byte(0x80 | ((code >> 12) & 0x3F));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    }
}

void AppendUtf16(WideString& out, char32_t code) {
    if (code < 0x10000) {
        out.push_back(static_cast<WCHAR>(code));
    } else {
        code -= 0x10000;
        out.push_back(static_cast<WCHAR>(0xD800 + (code >> 10)));
        out.push_back(static_cast<WCHAR>(0xDC00 + (code & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence at the front of text. Returns the number of bytes it takes; on an
// ill-formed sequence code is U+FFFD and the count covers the longest valid prefix (at least
// one byte), so that decoding resumes where a new sequence may start.
std::size_t DecodeUtf8(std::string_view text, char32_t& code) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;   // range of the second byte, which excludes overlong forms,
    unsigned char high = 0xBF;  // surrogates and values beyond U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        code = kReplacementCharacter;
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size()) {
            code = kReplacementCharacter;
            return i;
        }
        const auto next = static_cast<unsigned char>(text[i]);
        const unsigned char min = i == 1 ? low : 0x80;
        const unsigned char max = i == 1 ? high : 0xBF;
        if (next < min || next > max) {
            code = kReplacementCharacter;
            return i;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    return length;
}

}  // namespace

std::string WideToAnsi(WideStringView text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const char32_t low = text[++i];
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            out.push_back('?');
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

WideString AnsiToWide(std::string_view text) {
    WideString out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t code = 0;
        text.remove_prefix(DecodeUtf8(text, code));
        AppendUtf16(out, code);
    }
    return out;
}

}  // namespace platform
