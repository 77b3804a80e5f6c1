#include "config/config_lookup.h"

#include "config/decimal_number.h"
#include "support/config_string.h"

namespace config {

bool LookUpEntry(const char* text, const char* section, const char* key, EntryBuffer& value) {
    value.fill('\0');
    return ConfigString::GetFastConfigEntry(text, section, key, value.data(), kEntryBufferSize) &&
           value[0] != '\0';
}

bool IsInRange(LONG value, LONG minimum, LONG maximum) noexcept {
    return minimum <= value && value <= maximum;
}

bool ReadOptionalNumber(LONG& destination, const char* section, const char* key, const char* text,
                        LONG minimum, LONG maximum) {
    EntryBuffer value;
    if (!LookUpEntry(text, section, key, value)) {
        destination = 0;
        return true;
    }
    destination = ConvertDecimal(value.data());
    return IsInRange(destination, minimum, maximum);
}

bool ReadRequiredNumber(LONG& destination, const char* section, const char* key, const char* text,
                        LONG minimum, LONG maximum) {
    EntryBuffer value;
    if (!LookUpEntry(text, section, key, value)) return false;
    destination = ConvertDecimal(value.data());
    return IsInRange(destination, minimum, maximum);
}

bool ReadPortAndNetwork(std::string& port, std::string& network, const char* text) {
    EntryBuffer value;
    if (!LookUpEntry(text, "DRVR", "PORT", value)) return false;
    port = value.data();
    if (!LookUpEntry(text, "NET", "NET", value)) return false;
    network = value.data();
    return true;
}

}  // namespace config
