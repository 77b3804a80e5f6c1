// CVORNProtocol's runtime information: the stack reads the lower layers' settings through this
// layer, validates a proposed configuration against this layer's ranges and network, and
// changes the settings of a running device. Each request is passed on to a lower layer that
// offers IVELDO_RuntimeInformation. They run without the entry barrier and in every state.
#include <string>
#include <utility>

#include "config/decimal_number.h"
#include "config/runtime_values.h"
#include "interfaces/vorn_ids.h"
#include "platform/result_macros.h"
#include "platform/task_memory.h"
#include "protocol/cvorn_protocol.h"
#include "protocol/entry_barrier.h"
#include "support/config_string.h"
#include "support/task_memory_copies.h"
#include "trace/zqm_trace.h"

platform::ComPtr<IVELDO_RuntimeInformation> CVORNProtocol::LowerRuntimeInformation() const {
    platform::ComPtr<IVELDO_RuntimeInformation> information;
    // Only whether a pointer came back counts, not the result.
    if (lowerLayer != nullptr) {
        static_cast<void>(
            lowerLayer->QueryInterface(IID_IVELDO_RuntimeInformation, information.put_void()));
    }
    return information;
}

HRESULT CVORNProtocol::GetRuntimeInformation(LPWSTR* pprgInformation) {
    ZQMTraceJO("CVORNProtocol::GetRuntimeInformation()\n");
    RETURN_HR_IF_NULL(E_POINTER, pprgInformation);
    *pprgInformation = nullptr;
    return protocol::AnswerExhaustion([&] {
        // This layer's own settings are not part of it: only what the layers below report.
        ConfigString information(nullptr);
        if (const auto lower = LowerRuntimeInformation()) {
            platform::TaskMem<WCHAR> lowerText;
            if (SUCCEEDED(lower->GetRuntimeInformation(lowerText.put()))) {
                const ConfigString lowerInformation(lowerText.get());
                lowerText.reset();
                information.Merge(lowerInformation);
            }
        }
        *pprgInformation = CreateStringData(information.GetConfigurationW().c_str());
        return *pprgInformation != nullptr ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT CVORNProtocol::IsValidRuntimeConfiguration(LPWSTR prgConfig, LONG* pbValid) {
    RETURN_HR_IF_NULL(E_POINTER, pbValid);
    *pbValid = 1;
    RETURN_IF_FAILED(protocol::AnswerExhaustion([&] {
        const config::RuntimeValues values = config::ExtractRuntimeValues(ConfigString(prgConfig));
        if (!config::AreRuntimeValuesInRange(values)) *pbValid = 0;
        if (!values.networkName.empty()) {
            platform::CriticalSectionGuard guard(settingsLock);
            if (values.networkName != networkName) *pbValid = 0;
        }
        return S_OK;
    }));
    ZQMTraceJO("CVORNProtocol::IsValidRuntimeConfiguration(), Valid[%d]\n",
               static_cast<int>(*pbValid));
    // A configuration found not valid here is not worth asking the layers below about.
    if (*pbValid == 1) {
        if (const auto lower = LowerRuntimeInformation()) {
            return lower->IsValidRuntimeConfiguration(prgConfig, pbValid);
        }
    }
    return S_OK;
}

HRESULT CVORNProtocol::ChangeRuntimeInformation(LPWSTR prgConfig) {
    ZQMTraceJO("CVORNProtocol::ChangeRuntimeInformation()\n");
    RETURN_IF_FAILED(protocol::AnswerExhaustion([&] {
        config::RuntimeValues values = config::ExtractRuntimeValues(ConfigString(prgConfig));
        // Everything is converted and copied already: nothing under the lock can throw.
        platform::CriticalSectionGuard guard(settingsLock);
        if (!values.dna.empty()) dna = static_cast<BYTE>(config::ConvertDecimal(values.dna));
        if (!values.da1.empty()) da1 = static_cast<BYTE>(config::ConvertDecimal(values.da1));
        if (!values.da2.empty()) da2 = static_cast<BYTE>(config::ConvertDecimal(values.da2));
        if (!values.tmo.empty()) tmo = config::ConvertDecimal(values.tmo);
        if (!values.frame.empty()) frame = config::ConvertDecimal(values.frame);
        if (!values.portName.empty()) portName = std::move(values.portName);
        if (!values.networkName.empty()) networkName = std::move(values.networkName);
        return S_OK;
    }));
    if (const auto lower = LowerRuntimeInformation()) {
        return lower->ChangeRuntimeInformation(prgConfig);
    }
    return S_OK;
}
