#include "config/device_configuration.h"

#include "config/config_lookup.h"
#include "interfaces/stack_interfaces.h"
#include "interfaces/vorn_ids.h"
#include "platform/result_macros.h"
#include "platform/task_memory.h"
#include "platform/text.h"

namespace config {

HRESULT FetchConfigurationText(IVELDO_DeviceInfo* deviceInfo, std::string& text) {
    RETURN_HR_IF_NULL(E_POINTER, deviceInfo);
    GUID sourceId = IID_IVELDO_ConfigurationSource;
    IUnknown* unknown = nullptr;
    RETURN_IF_FAILED(deviceInfo->GetUnknown(&sourceId, &unknown));
    if (unknown == nullptr) {
        text.clear();
        return S_OK;
    }
    // Used as the configuration source without QueryInterface and not released: whether
    // GetUnknown hands out a counted reference is the device information's contract.
    auto* source = static_cast<IVELDO_ConfigurationSource*>(unknown);
    WCHAR noOptions[] = {0};
    LPWSTR wideText = nullptr;
    RETURN_IF_FAILED(source->GetConfigurationText(noOptions, &wideText));
    const platform::TaskMem<WCHAR> owned(wideText);  // freed also when the conversion throws
    text = platform::WideToAnsi(owned.get());
    return S_OK;
}

HRESULT ReadSettings(const char* text, LONG& dna, LONG& da1, LONG& da2, LONG& tmo, LONG& frame,
                     std::string& portName, std::string& networkName) {
    LONG heldDna = 0;
    LONG heldDa1 = 0;
    LONG heldDa2 = 0;
    const bool read = ReadOptionalNumber(heldDna, "ADDRESS", "DNA", text, 0, kMaxAddress) &&
                      ReadOptionalNumber(heldDa1, "ADDRESS", "DA1", text, 0, kMaxAddress) &&
                      ReadOptionalNumber(heldDa2, "ADDRESS", "DA2", text, 0, kMaxAddress) &&
                      ReadRequiredNumber(tmo, "NET", "TMO", text, 0, kMaxTimeout) &&
                      ReadRequiredNumber(frame, "NET", "FRAME", text, 0, kMaxFrame) &&
                      ReadPortAndNetwork(portName, networkName, text);
    if (!read) return E_FAIL;
    dna = heldDna;
    da1 = heldDa1;
    da2 = heldDa2;
    return S_OK;
}

HRESULT ReadDeviceConfiguration(IVELDO_DeviceInfo* deviceInfo, LONG& dna, LONG& da1, LONG& da2,
                                LONG& tmo, LONG& frame, std::string& portName,
                                std::string& networkName) {
    std::string text;
    RETURN_IF_FAILED(FetchConfigurationText(deviceInfo, text));
    return ReadSettings(text.c_str(), dna, da1, da2, tmo, frame, portName, networkName);
}

}  // namespace config
