// Hex dumps: a header line, then 16 bytes per line as hex and as characters.
#include <cstdio>

#include "trace/trace_state.h"
#include "trace/zqm_dump.h"
#include "trace/zqm_trace.h"

namespace {

constexpr std::size_t kBytesPerLine = 16;

// Finishes a data line ("  : ", the character column, "\n") with a fresh prefix in front.
void PutDataLine(const std::string& hex, const std::string& column) {
    std::string line = ZQMTraceLinePrefix();
    line += hex;
    line += "  : ";
    line += column;
    line += '\n';
    ZQMTracePut(line.c_str());
}

std::string Position(std::int32_t position) {
    char text[16];
    std::snprintf(text, sizeof(text), "%04X: ", static_cast<unsigned>(position));
    return text;
}

}  // namespace

void ZQMDump(const char* category, const std::uint8_t* data, std::int32_t length,
             std::uint8_t request) noexcept {
    if (!zqm::detail::QuickTraceOn()) return;
    if (category == nullptr) return;
    if (data == nullptr) length = 0;
    try {
        platform::CriticalSectionGuard guard(zqm::detail::TraceLock());
        if (!ZQMTraceCategoryEnabled(category)) return;
        ZQMTracePut((ZQMTraceLinePrefix() + (request != 0 ? "REQUEST\n" : "RESPONSE\n")).c_str());

        std::string hex = Position(0);
        std::string column;
        for (std::int32_t i = 0; i < length; ++i) {
            const std::uint8_t value = data[i];
            char cell[4];
            std::snprintf(cell, sizeof(cell), "%02x ", static_cast<unsigned>(value));
            hex += cell;
            column += (value >= 0x20 && value <= 0x7E) ? static_cast<char>(value) : '.';
            if (column.size() == kBytesPerLine) {
                PutDataLine(hex, column);
                hex = Position(i + 1);
                column.clear();
            }
        }
        if (!column.empty()) {
            // Pad the missing bytes so the character column starts where it does on full lines.
            hex.append((kBytesPerLine - column.size()) * 3, ' ');
            PutDataLine(hex, column);
        }
    } catch (...) {
        // Out of memory: the rest of the dump is lost, the traced operation goes on.
    }
}

void ZQMDumpRD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept {
    ZQMDump("rd", data, length, request);
}
void ZQMDumpXD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept {
    ZQMDump("xd", data, length, request);
}
void ZQMDumpZD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept {
    ZQMDump("zd", data, length, request);
}
void ZQMDumpCD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept {
    ZQMDump("cd", data, length, request);
}
void ZQMDumpQD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept {
    ZQMDump("qd", data, length, request);
}
