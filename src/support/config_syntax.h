// The configuration text syntax, shared by ConfigString (wide text) and
// ConfigString::GetFastConfigEntry (narrow text) so that both read the same entries:
//
//   [SECTION]
//   KEY=VALUE
//
// - Lines end in LF or CRLF; the last line needs no line end.
// - A header's name stands between '[' and the first ']' (or the line end, when ']' is
//   missing), without surrounding blanks. An entry's key stands before the first '=', without
//   surrounding blanks; its value is everything after that '=' up to the line end, kept exactly.
// - A value that is a complete quoted string ('"' ... '"' with nothing after the closing quote,
//   using only the escapes \\ \" \r \n) stands for its decoded content. The renderer writes a
//   value that way when it contains a line break or begins with '"'; every other value is
//   written as it is, so backslashes in plain values (paths, device names) are never touched.
// - Entries before the first header belong to the section with the empty name. Section and
//   key names compare without regard to ASCII letter case; of repeated entries the last wins.
// - Any other line is ignored.
//
// Internal to the support library.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace support::detail {

template <class Char>
using View = std::basic_string_view<Char>;

template <class Char>
constexpr bool IsBlank(Char c) noexcept {
    return c == Char(' ') || c == Char('\t');
}

template <class Char>
View<Char> TrimBlanks(View<Char> text) noexcept {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

template <class Char>
constexpr Char UpperAscii(Char c) noexcept {
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

template <class Char>
bool NamesEqual(View<Char> a, View<Char> b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

// Splits text into lines without their LF or CRLF.
template <class Char>
class LineReader {
  public:
    explicit LineReader(View<Char> text) noexcept : rest_(text) {}

    bool Next(View<Char>& line) noexcept {
        if (finished_) return false;
        const std::size_t end = rest_.find(Char('\n'));
        if (end == View<Char>::npos) {
            line = rest_;
            finished_ = true;
        } else {
            line = rest_.substr(0, end);
            rest_.remove_prefix(end + 1);
        }
        if (!line.empty() && line.back() == Char('\r')) line.remove_suffix(1);
        return true;
    }

  private:
    View<Char> rest_;
    bool finished_ = false;
};

enum class LineKind { kBlank, kSection, kEntry, kIgnored };

template <class Char>
struct ParsedLine {
    LineKind kind = LineKind::kIgnored;
    View<Char> name;      // section name or key
    View<Char> rawValue;  // entries only, before decoding
    bool wellFormed = true;
};

template <class Char>
ParsedLine<Char> ParseLine(View<Char> line) noexcept {
    ParsedLine<Char> parsed;
    View<Char> body = TrimBlanks(line);
    if (body.empty()) {
        parsed.kind = LineKind::kBlank;
        return parsed;
    }
    if (body.front() == Char('[')) {
        body.remove_prefix(1);
        const std::size_t close = body.find(Char(']'));
        parsed.kind = LineKind::kSection;
        if (close == View<Char>::npos) {
            // Taken as the header it was meant to be, so its entries are not credited to the
            // section before it.
            parsed.name = TrimBlanks(body);
            parsed.wellFormed = false;
        } else {
            parsed.name = TrimBlanks(body.substr(0, close));
            parsed.wellFormed = TrimBlanks(body.substr(close + 1)).empty();
        }
        return parsed;
    }
    const std::size_t equals = line.find(Char('='));
    const View<Char> key =
        equals == View<Char>::npos ? View<Char>{} : TrimBlanks(line.substr(0, equals));
    if (key.empty()) {
        parsed.kind = LineKind::kIgnored;
        parsed.wellFormed = false;
        return parsed;
    }
    parsed.kind = LineKind::kEntry;
    parsed.name = key;
    parsed.rawValue = line.substr(equals + 1);
    return parsed;
}

template <class Char>
constexpr std::optional<Char> Unescape(Char c) noexcept {
    if (c == Char('\\') || c == Char('"')) return c;
    if (c == Char('r')) return Char('\r');
    if (c == Char('n')) return Char('\n');
    return std::nullopt;
}

template <class Char>
bool IsQuotedValue(View<Char> raw) noexcept {
    if (raw.size() < 2 || raw.front() != Char('"')) return false;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        if (raw[i] == Char('"')) return i + 1 == raw.size();
        if (raw[i] == Char('\\')) {
            if (i + 1 >= raw.size() || !Unescape(raw[i + 1])) return false;
            ++i;
        }
    }
    return false;
}

// Calls put(c) for every character of the value that raw stands for.
template <class Char, class Put>
void DecodeValue(View<Char> raw, Put&& put) {
    if (!IsQuotedValue(raw)) {
        for (const Char c : raw) put(c);
        return;
    }
    for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
        if (raw[i] == Char('\\')) {
            put(*Unescape(raw[++i]));
        } else {
            put(raw[i]);
        }
    }
}

template <class Char>
std::size_t DecodedLength(View<Char> raw) noexcept {
    std::size_t length = 0;
    DecodeValue(raw, [&length](Char) noexcept { ++length; });
    return length;
}

template <class Char>
bool NeedsQuoting(View<Char> value) noexcept {
    if (!value.empty() && value.front() == Char('"')) return true;
    for (const Char c : value) {
        if (c == Char('\r') || c == Char('\n')) return true;
    }
    return false;
}

template <class Char>
void AppendValue(std::basic_string<Char>& out, View<Char> value) {
    if (!NeedsQuoting(value)) {
        out.append(value);
        return;
    }
    out.push_back(Char('"'));
    for (const Char c : value) {
        if (c == Char('\\') || c == Char('"')) {
            out.push_back(Char('\\'));
            out.push_back(c);
        } else if (c == Char('\r')) {
            out.push_back(Char('\\'));
            out.push_back(Char('r'));
        } else if (c == Char('\n')) {
            out.push_back(Char('\\'));
            out.push_back(Char('n'));
        } else {
            out.push_back(c);
        }
    }
    out.push_back(Char('"'));
}

// The raw value of the last entry section/key in text, if there is one.
template <class Char>
std::optional<View<Char>> FindLastEntry(View<Char> text, View<Char> section,
                                        View<Char> key) noexcept {
    std::optional<View<Char>> found;
    bool inSection = section.empty();  // entries before any header belong to ""
    LineReader<Char> reader(text);
    View<Char> line;
    while (reader.Next(line)) {
        const ParsedLine<Char> parsed = ParseLine(line);
        if (parsed.kind == LineKind::kSection) {
            inSection = NamesEqual(parsed.name, section);
        } else if (parsed.kind == LineKind::kEntry && inSection && NamesEqual(parsed.name, key)) {
            found = parsed.rawValue;
        }
    }
    return found;
}

}  // namespace support::detail
