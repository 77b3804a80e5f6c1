// Reading the layer's seven settings from a device's configuration text when it is initialised.
//
//   LONG dna, da1, da2;
//   HRESULT hr = config::ReadDeviceConfiguration(pInfo, dna, da1, da2, tmo, frame, portName,
//                                                networkName);
//
// ReadDeviceConfiguration is FetchConfigurationText (every call out to the device, so a caller
// can keep its locks out of it) followed by ReadSettings (the text alone). ReadSettings writes
// dna, da1 and da2 only when it returns S_OK; tmo, frame, portName and networkName are written as
// they are read, so a failed read leaves in them what it had reached, an out-of-range number
// included.
#pragma once

#include <string>

#include "interfaces/layer_interfaces.h"
#include "platform/com.h"

namespace config {

inline constexpr LONG kMaxAddress = 254;
inline constexpr LONG kMaxTimeout = 600000;
inline constexpr LONG kMaxFrame = 1004;

// The device's configuration text in the ANSI code page. S_OK with empty text when the device
// has no configuration source; otherwise the failure of GetUnknown or GetConfigurationText,
// with text unchanged. E_POINTER for a null device.
HRESULT FetchConfigurationText(IVELDO_DeviceInfo* deviceInfo, std::string& text);

// S_OK when all seven settings were read and are in range; E_FAIL when one is missing or out of
// range (the reading stops there).
HRESULT ReadSettings(const char* text, LONG& dna, LONG& da1, LONG& da2, LONG& tmo, LONG& frame,
                     std::string& portName, std::string& networkName);

HRESULT ReadDeviceConfiguration(IVELDO_DeviceInfo* deviceInfo, LONG& dna, LONG& da1, LONG& da2,
                                LONG& tmo, LONG& frame, std::string& portName,
                                std::string& networkName);

}  // namespace config
