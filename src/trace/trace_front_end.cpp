// The front-end's common writer, the filter test and the line prefix.
#include <cstdio>
#include <cstring>

#include "platform/os_services.h"
#include "trace/trace_state.h"
#include "trace/zqm_trace.h"

namespace {

constexpr char kErrorMarker[] = "ERROR: ";
constexpr std::size_t kPathBuffer = 260;

// Guarded by the in-process trace lock.
char formatBuffer[ZQM_TRACE_FORMAT_BUFFER];
char lineBuffer[ZQM_TRACE_MAX_LINE + 1];

char UpperAscii(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char LowerAscii(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The executable's file name without directory and last extension, in lower case. Both '\' and
// '/' end a directory, so the rule reads the same for Windows and POSIX paths.
std::string ExecutableName() {
    char path[kPathBuffer];
    const std::size_t length = platform::ExecutablePath(path, sizeof(path));
    if (length == 0) return {};
    std::string name(path, length);
    const std::size_t separator = name.find_last_of("\\/");
    if (separator != std::string::npos) name.erase(0, separator + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    for (char& c : name) c = LowerAscii(c);
    return name;
}

// Milliseconds of the high-resolution counter modulo 10000; false without a usable counter
// (none at all, or one slower than 1000 ticks per second, whose tick would not reach 1 ms).
bool CounterMilliseconds(int* milliseconds) noexcept {
    const std::int64_t frequency = platform::PerformanceFrequency();
    const std::int64_t ticksPerMillisecond = frequency / 1000;
    if (ticksPerMillisecond <= 0) return false;
    const std::int64_t elapsed = platform::PerformanceCounter() / ticksPerMillisecond;
    *milliseconds = static_cast<int>(elapsed % 10000);
    return true;
}

// Builds prefix, marker and text into the line buffer and stores it; a line over the limit is
// dropped here rather than copied only to be refused.
void PutLine(const std::string& prefix, bool error, const char* text) noexcept {
    const std::size_t markerLength = error ? sizeof(kErrorMarker) - 1 : 0;
    const std::size_t textLength = std::strlen(text);
    if (prefix.size() + markerLength + textLength > ZQM_TRACE_MAX_LINE) return;
    char* out = lineBuffer;
    std::memcpy(out, prefix.data(), prefix.size());
    out += prefix.size();
    std::memcpy(out, kErrorMarker, markerLength);
    out += markerLength;
    std::memcpy(out, text, textLength + 1);
    ZQMTracePut(lineBuffer);
}

}  // namespace

bool ZQMTraceCategoryEnabled(const char* category) noexcept {
    if (category == nullptr) return false;
    char filter[ZQM_TRACE_FILTER_MAX + 1] = {};
    {
        platform::NamedMutexLock lock(zqm::detail::TraceMutex());
        if (!lock.owns()) return false;
        const unsigned char* area = zqm::detail::MappedArea();
        if (area == nullptr) return false;
        // At most the field's 34 characters, even if the consumer left out the NUL.
        for (std::size_t i = 0; i < ZQM_TRACE_FILTER_MAX; ++i) {
            const char c = static_cast<char>(area[ZQM_TRACE_FILTER_OFFSET + i]);
            if (c == '\0') break;
            filter[i] = c;
        }
    }
    for (const char* c = category; *c != '\0'; ++c) {
        if (std::strchr(filter, UpperAscii(*c)) == nullptr) return false;
    }
    return true;
}

std::string ZQMTraceLinePrefix() {
    std::string prefix;
    if (ZQMTraceCategoryEnabled("@")) prefix = ExecutableName();
    char field[24];
    if (ZQMTraceCategoryEnabled("I")) {
        std::snprintf(field, sizeof(field), "(%02X)",
                      static_cast<unsigned>(platform::CurrentThreadId()));
        prefix += field;
    }
    int milliseconds = 0;
    if (ZQMTraceCategoryEnabled("N") && CounterMilliseconds(&milliseconds)) {
        std::snprintf(field, sizeof(field), "(%05d)", milliseconds);
        prefix += field;
    }
    if (!prefix.empty()) prefix += ": ";
    return prefix;
}

void ZQMTraceV(const char* category, const char* format, va_list args) noexcept {
    if (!zqm::detail::QuickTraceOn()) return;
    if (category == nullptr || format == nullptr) return;
    try {
        platform::CriticalSectionGuard guard(zqm::detail::TraceLock());
        if (!ZQMTraceCategoryEnabled(category)) return;
        if (std::vsnprintf(formatBuffer, sizeof(formatBuffer), format, args) < 0) return;
        PutLine(ZQMTraceLinePrefix(), category[0] == 'e', formatBuffer);
    } catch (...) {
        // Out of memory for the prefix: the line is lost, the traced operation goes on.
    }
}
