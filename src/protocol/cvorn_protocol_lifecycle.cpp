// CVORNProtocol: construction, the COM identity, Initialise, UnInitialise and destruction.
#include <string>

#include "config/device_configuration.h"
#include "interfaces/vorn_ids.h"
#include "platform/result_macros.h"
#include "protocol/cvorn_protocol.h"
#include "protocol/entry_barrier.h"
#include "trace/zqm_trace.h"

CVORNProtocol::CVORNProtocol() : sequenceIds(AcquireRegistry()) {}

CVORNProtocol::~CVORNProtocol() {
    ReleaseRegistry();
}

HRESULT CVORNProtocol::InternalQueryInterface(REFIID riid, void** ppv) {
    RETURN_HR_IF_NULL(E_POINTER, ppv);
    *ppv = nullptr;
    IUnknown* found = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IVELDO_ProtocolComms)) {
        found = static_cast<IVELDO_ProtocolComms*>(this);
    } else if (IsEqualIID(riid, IID_IVELDO_RuntimeInformation)) {
        found = static_cast<IVELDO_RuntimeInformation*>(this);
    } else if (IsEqualIID(riid, IID_IMarshal)) {
        RETURN_HR_IF_NULL(E_NOINTERFACE, marshaler.get());
        return marshaler->QueryInterface(riid, ppv);
    } else {
        return E_NOINTERFACE;
    }
    // Through the interface handed out, so that a contained object counts on its outer one.
    found->AddRef();
    *ppv = found;
    return S_OK;
}

HRESULT CVORNProtocol::FinalConstruct() {
    RETURN_IF_FAILED(CoCreateInstance(CLSID_StackServices, nullptr, CLSCTX_ALL,
                                      IID_IVELDO_StackServices, stackServices.put_void()));
    return CoCreateFreeThreadedMarshaler(GetControllingUnknown(), marshaler.put());
}

void CVORNProtocol::FinalRelease() {
    marshaler = nullptr;
    stackServices = nullptr;
}

HRESULT CVORNProtocol::Initialise(IVELDO_DeviceInfo* pInfo) {
    ZQMTraceJO("CVORNProtocol::Initialise()\n");
    return protocol::RunInsideEntryBarrier([&] { return InitialiseInternal(pInfo); });
}

HRESULT CVORNProtocol::InitialiseInternal(IVELDO_DeviceInfo* pInfo) {
    if (initialised) {
        ZQMTraceError("CVORNProtocol::Initialise() FAILED - multiple calling\n");
        return E_FAIL;
    }
    RETURN_HR_IF_NULL(E_POINTER, pInfo);
    // A registration left by an attempt whose AttachDevice failed is undone first, so that the
    // fresh one below neither loses it nor the device reference it holds.
    if (lowerLayer != nullptr) UnInitialise();

    std::string text;
    RETURN_IF_FAILED(config::FetchConfigurationText(pInfo, text));
    RETURN_IF_FAILED(StoreDeviceSettings(text.c_str()));

    // The lower layer is taken only from a registration that succeeded, so that lowerLayer
    // alone tells whether there is one to undo.
    IVELDO_NetworkComms* registeredLower = nullptr;
    ULONG reserved = 0;
    RETURN_IF_FAILED(stackServices->RegisterLayer(pInfo, static_cast<IVELDO_ProtocolComms*>(this),
                                                  &registeredLower, &layerCookie, &stackCookie,
                                                  &reserved));
    lowerLayer = registeredLower;
    deviceInfo = platform::ComPtr<IVELDO_DeviceInfo>(pInfo);
    const HRESULT attached = lowerLayer->AttachDevice(pInfo);
    RETURN_IF_FAILED(attached);
    // Last: Receive on other threads reads the cookies once it sees the flag set.
    initialised = true;
    return attached;
}

HRESULT CVORNProtocol::StoreDeviceSettings(const char* configurationText) {
    LONG heldDna = 0;
    LONG heldDa1 = 0;
    LONG heldDa2 = 0;
    // Read under the lock, since the text alone is read here: no call out while it is held. A
    // failed read leaves in tmo, frame and the names what it had reached.
    platform::CriticalSectionGuard guard(settingsLock);
    RETURN_IF_FAILED(config::ReadSettings(configurationText, heldDna, heldDa1, heldDa2, tmo, frame,
                                          portName, networkName));
    dna = static_cast<BYTE>(heldDna);
    da1 = static_cast<BYTE>(heldDa1);
    da2 = static_cast<BYTE>(heldDa2);
    return S_OK;
}

HRESULT CVORNProtocol::UnInitialise() {
    if (lowerLayer == nullptr) return S_OK;
    pendingRequests.Clear();
    HRESULT hr = lowerLayer->Disconnect(stackCookie);
    if (SUCCEEDED(hr)) hr = lowerLayer->DetachDevice(deviceInfo.get());
    if (SUCCEEDED(hr)) hr = stackServices->UnregisterLayer(deviceInfo.get(), layerCookie);
    // Detached whatever the calls answered; the layer cookie stays for a Receive still running.
    deviceInfo = nullptr;
    lowerLayer = nullptr;
    initialised = false;
    return hr;
}
