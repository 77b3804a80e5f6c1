// The interfaces of the device stack's outside components that a layer calls: the stack
// services, the lower layer, the configuration source, the message sink and the component
// catalog. Operations are in table order. The operations that a layer relies on come first,
// in the order the stack documents them; IVELDO_ComponentCatalog adds GetEntry after them so
// that installers and tests can read an entry back. Nothing else is declared.
#pragma once

#include "interfaces/layer_interfaces.h"

struct IVELDO_NetworkComms;

// The stack's services for one layer object: registration, which hands out the layer below and
// the two cookies, and the sink through which replies travel upward.
struct IVELDO_StackServices : public IUnknown {
    // ppLower is not a counted reference: it stays valid until UnregisterLayer has returned.
    // pReserved is set to 0 by the caller and never read by it.
    virtual HRESULT STDMETHODCALLTYPE RegisterLayer(IVELDO_DeviceInfo* pInfo,
                                                    IVELDO_ProtocolComms* pLayer,
                                                    IVELDO_NetworkComms** ppLower,
                                                    ULONG* pLayerCookie, GUID* pStackCookie,
                                                    ULONG* pReserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterLayer(IVELDO_DeviceInfo* pInfo,
                                                      ULONG layerCookie) = 0;
    // The sink is a counted reference that the caller releases after the delivery.
    virtual HRESULT STDMETHODCALLTYPE GetMessageSink(ULONG layerCookie, REFIID riid,
                                                     void** ppSink) = 0;
};

// The layer below.
struct IVELDO_NetworkComms : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AttachDevice(IVELDO_DeviceInfo* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE DetachDevice(IVELDO_DeviceInfo* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect(GUID stackCookie) = 0;
    // Success means the lower layer took the message over (it keeps its own reference); a
    // reply may reach the layer's Receive on any thread, even before this call returns.
    virtual HRESULT STDMETHODCALLTYPE SendNetworkMessage(GUID stackCookie,
                                                         IVELDO_NetworkMessage* pMessage) = 0;
};

// The device's configuration text, reached through IVELDO_DeviceInfo::GetUnknown.
struct IVELDO_ConfigurationSource : public IUnknown {
    // prgOptions is always the empty string; the text is task memory freed by the caller.
    virtual HRESULT STDMETHODCALLTYPE GetConfigurationText(LPWSTR prgOptions,
                                                           LPWSTR* pprgText) = 0;
};

// Takes replies to the layer above.
struct IVELDO_MessageSink : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DeliverMessage(IVELDO_ProtocolMessage* pMessage) = 0;
};

// The stack's own catalog of installed components, written at registration.
struct IVELDO_ComponentCatalog : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateSection(LPWSTR prgSection) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEntry(LPWSTR prgSection, LPWSTR prgKey,
                                               LPWSTR prgValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveEntry(LPWSTR prgSection, LPWSTR prgKey) = 0;
    // The value is task memory freed by the caller; S_FALSE and null when there is none.
    virtual HRESULT STDMETHODCALLTYPE GetEntry(LPWSTR prgSection, LPWSTR prgKey,
                                               LPWSTR* pprgValue) = 0;
};

VORN_DECLARE_INTERFACE_ID(IVELDO_StackServices, IID_IVELDO_StackServices);
VORN_DECLARE_INTERFACE_ID(IVELDO_NetworkComms, IID_IVELDO_NetworkComms);
VORN_DECLARE_INTERFACE_ID(IVELDO_ConfigurationSource, IID_IVELDO_ConfigurationSource);
VORN_DECLARE_INTERFACE_ID(IVELDO_MessageSink, IID_IVELDO_MessageSink);
VORN_DECLARE_INTERFACE_ID(IVELDO_ComponentCatalog, IID_IVELDO_ComponentCatalog);
