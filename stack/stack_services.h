// The stack-services object (IVELDO_StackServices, class CLSID_StackServices). Each protocol
// object creates its own; all of them work on the process's StackEnvironment.
//
// RegisterLayer hands out the environment's next lower layer (not a counted reference: the
// registration holds one until UnregisterLayer), a layer cookie (counting up from
// kFirstLayerCookie), the stack cookie and kReservedRegistrationValue in the reserved output,
// and connects the registering layer to a stack::LowerLayer as the receiver of its replies.
// On any failure the lower-layer output is null. UnregisterLayer ends the registration (an
// unknown cookie is E_INVALIDARG) and disconnects the upper layer. GetMessageSink hands out a
// counted reference to the environment's sink, whatever the cookie, so that a reply that
// overlaps unregistration is still delivered.
#pragma once

#include "interfaces/stack_interfaces.h"
#include "stack/standin_object.h"

namespace stack {

class StackServices : public ComObject<IVELDO_StackServices> {
public:
    static platform::ComPtr<StackServices> Create();

    HRESULT STDMETHODCALLTYPE RegisterLayer(IVELDO_DeviceInfo* pInfo, IVELDO_ProtocolComms* pLayer,
                                            IVELDO_NetworkComms** ppLower, ULONG* pLayerCookie,
                                            GUID* pStackCookie, ULONG* pReserved) override;
    HRESULT STDMETHODCALLTYPE UnregisterLayer(IVELDO_DeviceInfo* pInfo, ULONG layerCookie) override;
    HRESULT STDMETHODCALLTYPE GetMessageSink(ULONG layerCookie, REFIID riid,
                                             void** ppSink) override;

private:
    StackServices() noexcept : ComObject(StandInClass::StackServices) {}
    template <class T, class... Args>
    friend platform::ComPtr<T> MakeStandIn(Args&&... args);
};

}  // namespace stack
