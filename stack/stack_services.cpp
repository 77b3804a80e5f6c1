#include "stack/stack_services.h"

#include <string>

#include "stack/call_tracking.h"
#include "stack/lower_layer.h"
#include "stack/stack_environment.h"
#include "stack/text_format.h"

namespace stack {
namespace {

LowerLayer* AsStandIn(IVELDO_NetworkComms* lowerLayer) {
    return dynamic_cast<LowerLayer*>(lowerLayer);
}

}  // namespace

platform::ComPtr<StackServices> StackServices::Create() {
    return MakeStandIn<StackServices>();
}

HRESULT StackServices::RegisterLayer(IVELDO_DeviceInfo* pInfo, IVELDO_ProtocolComms* pLayer,
                                     IVELDO_NetworkComms** ppLower, ULONG* pLayerCookie,
                                     GUID* pStackCookie, ULONG* pReserved) {
    if (ppLower != nullptr) *ppLower = nullptr;
    return Perform(
        STACK_OPERATION(StackServices, RegisterLayer), Identity(),
        [&] { return "device=" + FormatPointer(pInfo) + " layer=" + FormatPointer(pLayer); },
        [&] {
            if (ppLower == nullptr || pLayerCookie == nullptr || pStackCookie == nullptr ||
                pReserved == nullptr) {
                return E_POINTER;
            }
            Registration registration{};
            const HRESULT hr = Environment().Register(pInfo, pLayer, &registration);
            if (FAILED(hr)) return hr;
            if (LowerLayer* lower = AsStandIn(registration.lowerLayer)) {
                lower->ConnectUpperLayer(registration.layerCookie, registration.stackCookie,
                                         pLayer);
            }
            *ppLower = registration.lowerLayer;
            *pLayerCookie = registration.layerCookie;
            *pStackCookie = registration.stackCookie;
            *pReserved = kReservedRegistrationValue;
            return S_OK;
        });
}

HRESULT StackServices::UnregisterLayer(IVELDO_DeviceInfo* pInfo, ULONG layerCookie) {
    return Perform(
        STACK_OPERATION(StackServices, UnregisterLayer), Identity(),
        [&] { return "device=" + FormatPointer(pInfo) + " cookie=" + std::to_string(layerCookie); },
        [&] {
            platform::ComPtr<IVELDO_NetworkComms> lowerLayer =
                Environment().Unregister(layerCookie);
            if (!lowerLayer) return E_INVALIDARG;
            if (LowerLayer* lower = AsStandIn(lowerLayer.get())) {
                lower->DisconnectUpperLayer(layerCookie);
            }
            return S_OK;
        });
}

HRESULT StackServices::GetMessageSink(ULONG layerCookie, REFIID riid, void** ppSink) {
    if (ppSink != nullptr) *ppSink = nullptr;
    return Perform(
        STACK_OPERATION(StackServices, GetMessageSink), Identity(),
        [&] { return "cookie=" + std::to_string(layerCookie) + " iid=" + FormatGuid(riid); },
        [&] {
            if (ppSink == nullptr) return E_POINTER;
            platform::ComPtr<IVELDO_MessageSink> sink = Environment().MessageSink();
            if (!sink) return E_UNEXPECTED;
            return sink->QueryInterface(riid, ppSink);
        });
}

}  // namespace stack
