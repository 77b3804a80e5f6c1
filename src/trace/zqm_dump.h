// Hex dumps of byte blocks and the text of the facility's 16-bit result codes, written through
// the same filter, prefix and ring as every trace line (see zqm_trace.h).
//
//   ZQMDumpRD(frame.data(), static_cast<std::int32_t>(frame.size()), 1);  // "REQUEST\n", then
//   // "0000: ab 00 41 ...  : ..A\n": position, 16 bytes in hex, the printable characters
//   ZQMTraceResult(0x8A1D);  // "   Result: ZQM_ERROR   ZQM_C_DEVICE       ZQM_E_BUSY\n", "\n"
//
// A dump is written as a whole under the in-process trace lock, so its lines are not mixed with
// other lines of the same process. A length of 0 or less (or no data) writes the header only.
#pragma once

#include <cstdint>

// Writes `length` bytes of `data` as a dump under `category`; `request` non-zero for a request.
void ZQMDump(const char* category, const std::uint8_t* data, std::int32_t length,
             std::uint8_t request) noexcept;

void ZQMDumpRD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept;
void ZQMDumpXD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept;
void ZQMDumpZD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept;
void ZQMDumpCD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept;
void ZQMDumpQD(const std::uint8_t* data, std::int32_t length, std::uint8_t request) noexcept;

// Writes "   Result: ", the severity, component and code texts of `code` (bit 15 error, bits
// 14-8 component, bits 7-0 code), then a line holding only "\n"; category "f". Further values
// are accepted for compatibility and not used (the texts contain no conversions).
void ZQMTraceResult(unsigned short code, ...) noexcept;
