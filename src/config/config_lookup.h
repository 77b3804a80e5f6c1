// Lookups of the layer's settings in narrow configuration text (the ANSI code page, NUL
// terminated). They keep no state. An entry that is present with an empty value counts as
// absent, and names are stored byte for byte as found.
//
//   config::EntryBuffer value;
//   if (config::LookUpEntry(text, "NET", "TMO", value)) { ... value.data() ... }
//   LONG tmo = 0;
//   bool ok = config::ReadRequiredNumber(tmo, "NET", "TMO", text, 0, config::kMaxTimeout);
#pragma once

#include <array>
#include <string>

#include "platform/com.h"

namespace config {

inline constexpr int kEntryBufferSize = 512;
using EntryBuffer = std::array<char, kEntryBufferSize>;

// Clears value, then looks the entry up; found only when it exists, fits the buffer (values of
// 512 bytes or more count as absent) and is not empty.
bool LookUpEntry(const char* text, const char* section, const char* key, EntryBuffer& value);

// minimum <= value <= maximum, both bounds included.
bool IsInRange(LONG value, LONG minimum, LONG maximum) noexcept;

// Absent: destination = 0 and success. Present: destination = the converted number, success
// when it is in range.
bool ReadOptionalNumber(LONG& destination, const char* section, const char* key, const char* text,
                        LONG minimum, LONG maximum);

// Absent: failure, destination unchanged. Present: destination = the converted number (also
// when out of range), success when it is in range.
bool ReadRequiredNumber(LONG& destination, const char* section, const char* key, const char* text,
                        LONG minimum, LONG maximum);

// Reads "DRVR"/"PORT" into port, then "NET"/"NET" into network. A missing port leaves both
// unchanged; a missing network leaves the new port in place. Success when both were found.
bool ReadPortAndNetwork(std::string& port, std::string& network, const char* text);

}  // namespace config
