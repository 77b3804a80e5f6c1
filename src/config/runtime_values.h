// The layer's share of a runtime configuration: the seven values taken out of it as narrow text,
// and the range test that IsValidRuntimeConfiguration applies to the numbers among them.
//
//   ConfigString configuration(text);
//   config::RuntimeValues values = config::ExtractRuntimeValues(configuration);
//   bool valid = config::AreRuntimeValuesInRange(values);
//   if (!values.networkName.empty()) ...   // an empty value was not given
//
// Sections and keys are those of the device configuration (device_configuration.h); numbers
// convert as everywhere else (decimal_number.h).
#pragma once

#include <string>

class ConfigString;

namespace config {

struct RuntimeValues {
    std::string dna;
    std::string da1;
    std::string da2;
    std::string tmo;
    std::string frame;
    std::string portName;
    std::string networkName;
};

// Every value that the configuration names; one that is absent or empty stays empty.
RuntimeValues ExtractRuntimeValues(const ConfigString& configuration);

// Tests TMO, FRAME, DNA, DA1 and DA2, in this order, against the ranges that Initialise
// accepts; values not given are skipped. The names are not examined.
bool AreRuntimeValuesInRange(const RuntimeValues& values);

}  // namespace config
