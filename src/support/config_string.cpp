#include "support/config_string.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "platform/text.h"
#include "support/config_syntax.h"

namespace detail = support::detail;
using platform::WideString;
using platform::WideStringView;

namespace {
constexpr std::size_t kNoSection = static_cast<std::size_t>(-1);
}  // namespace

ConfigString::ConfigString(const WCHAR* text, bool* pbParsed) {
    bool wellFormed = true;
    std::size_t current = kNoSection;
    detail::LineReader<WCHAR> reader(platform::WideView(text));
    WideStringView line;
    while (reader.Next(line)) {
        const detail::ParsedLine<WCHAR> parsed = detail::ParseLine(line);
        wellFormed = wellFormed && parsed.wellFormed;
        if (parsed.kind == detail::LineKind::kSection) {
            current = FindOrAddSection(sections_, parsed.name);
        } else if (parsed.kind == detail::LineKind::kEntry) {
            if (current == kNoSection) current = FindOrAddSection(sections_, WideStringView{});
            WideString value;
            value.reserve(detail::DecodedLength(parsed.rawValue));
            detail::DecodeValue(parsed.rawValue, [&value](WCHAR c) { value.push_back(c); });
            SetEntry(sections_[current], parsed.name, std::move(value));
        }
    }
    if (pbParsed != nullptr) *pbParsed = wellFormed;
}

ConfigString::~ConfigString() = default;

std::size_t ConfigString::FindOrAddSection(Sections& sections, WideStringView name) {
    const auto found = std::find_if(sections.begin(), sections.end(), [name](const Section& s) {
        return detail::NamesEqual(WideStringView{s.name}, name);
    });
    if (found != sections.end()) return static_cast<std::size_t>(found - sections.begin());
    sections.push_back(Section{WideString{name}, {}});
    return sections.size() - 1;
}

void ConfigString::SetEntry(Section& section, WideStringView key, WideString value) {
    const auto found = std::find_if(
        section.entries.begin(), section.entries.end(),
        [key](const Entry& e) { return detail::NamesEqual(WideStringView{e.key}, key); });
    if (found != section.entries.end()) {
        found->value = std::move(value);
    } else {
        section.entries.push_back(Entry{WideString{key}, std::move(value)});
    }
}

bool ConfigString::GetEntry(std::string& value, const char* section, const char* key) const {
    if (section == nullptr || key == nullptr) return false;
    const WideString wideSection = platform::AnsiToWide(section);
    const WideString wideKey = platform::AnsiToWide(key);
    for (const Section& s : sections_) {
        if (!detail::NamesEqual(WideStringView{s.name}, WideStringView{wideSection})) continue;
        for (const Entry& e : s.entries) {
            if (detail::NamesEqual(WideStringView{e.key}, WideStringView{wideKey})) {
                value = platform::WideToAnsi(WideStringView{e.value});
                return true;
            }
        }
    }
    return false;
}

bool ConfigString::Merge(const ConfigString& other) {
    // Work on a copy so that running out of memory half-way leaves this configuration as it was.
    Sections merged = sections_;
    for (const Section& otherSection : other.sections_) {
        Section& target = merged[FindOrAddSection(merged, otherSection.name)];
        for (const Entry& e : otherSection.entries) SetEntry(target, e.key, e.value);
    }
    sections_ = std::move(merged);
    return true;
}

WideString ConfigString::GetConfigurationW() const {
    static constexpr WCHAR kLineEnd[] = {'\r', '\n', 0};
    WideString out;
    const auto appendEntries = [&out](const Section& s) {
        for (const Entry& e : s.entries) {
            out.append(e.key);
            out.push_back(WCHAR('='));
            detail::AppendValue(out, WideStringView{e.value});
            out.append(kLineEnd);
        }
    };
    // Entries that belong to no named section need no header, but must come before any.
    for (const Section& s : sections_) {
        if (s.name.empty()) appendEntries(s);
    }
    for (const Section& s : sections_) {
        if (s.name.empty()) continue;
        out.push_back(WCHAR('['));
        out.append(s.name);
        out.push_back(WCHAR(']'));
        out.append(kLineEnd);
        appendEntries(s);
    }
    return out;
}

bool ConfigString::GetFastConfigEntry(const char* text, const char* section, const char* key,
                                      char* buffer, int bufferSize) {
    if (buffer == nullptr || bufferSize <= 0) return false;
    buffer[0] = '\0';
    if (text == nullptr || section == nullptr || key == nullptr) return false;
    const auto raw = detail::FindLastEntry<char>(text, section, key);
    if (!raw) return false;
    if (detail::DecodedLength(*raw) >= static_cast<std::size_t>(bufferSize)) return false;
    char* out = buffer;
    detail::DecodeValue(*raw, [&out](char c) { *out++ = c; });
    *out = '\0';
    return true;
}
