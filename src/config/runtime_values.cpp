#include "config/runtime_values.h"

#include <string_view>

#include "config/config_lookup.h"
#include "config/decimal_number.h"
#include "config/device_configuration.h"
#include "support/config_string.h"

namespace config {
namespace {

bool GivenAndInRange(std::string_view text, LONG maximum) {
    return text.empty() || IsInRange(ConvertDecimal(text), 0, maximum);
}

}  // namespace

RuntimeValues ExtractRuntimeValues(const ConfigString& configuration) {
    RuntimeValues values;
    configuration.GetEntry(values.dna, "ADDRESS", "DNA");
    configuration.GetEntry(values.da1, "ADDRESS", "DA1");
    configuration.GetEntry(values.da2, "ADDRESS", "DA2");
    configuration.GetEntry(values.tmo, "NET", "TMO");
    configuration.GetEntry(values.frame, "NET", "FRAME");
    configuration.GetEntry(values.portName, "DRVR", "PORT");
    configuration.GetEntry(values.networkName, "NET", "NET");
    return values;
}

bool AreRuntimeValuesInRange(const RuntimeValues& values) {
    return GivenAndInRange(values.tmo, kMaxTimeout) && GivenAndInRange(values.frame, kMaxFrame) &&
           GivenAndInRange(values.dna, kMaxAddress) && GivenAndInRange(values.da1, kMaxAddress) &&
           GivenAndInRange(values.da2, kMaxAddress);
}

}  // namespace config
