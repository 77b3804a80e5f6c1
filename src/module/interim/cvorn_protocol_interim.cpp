// INTERIM, NOT PART OF THE PRODUCT: just enough of CVORNProtocol for the module to link and for
// its tests to create objects, until the protocol object lands in vorn_protocol. Construction,
// the interface table, FinalConstruct and FinalRelease behave as the real object's do; the
// layer operations only answer E_NOTIMPL (Initialise writes its entry trace line first).
// Remove this folder and the interim block of src/module/CMakeLists.txt when merging.
#include "interfaces/vorn_ids.h"
#include "protocol/cvorn_protocol.h"
#include "trace/zqm_trace.h"

CVORNProtocol::CVORNProtocol() = default;
CVORNProtocol::~CVORNProtocol() = default;

HRESULT CVORNProtocol::InternalQueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IVELDO_ProtocolComms) || IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IVELDO_ProtocolComms*>(this);
    } else if (IsEqualIID(riid, IID_IVELDO_RuntimeInformation)) {
        *ppv = static_cast<IVELDO_RuntimeInformation*>(this);
    } else if (IsEqualIID(riid, IID_IMarshal)) {
        return marshaler ? marshaler->QueryInterface(riid, ppv) : E_NOINTERFACE;
    } else {
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
}

HRESULT CVORNProtocol::FinalConstruct() {
    const HRESULT created = CoCreateInstance(CLSID_StackServices, nullptr, CLSCTX_ALL,
                                             IID_IVELDO_StackServices, stackServices.put_void());
    if (FAILED(created)) return created;
    return CoCreateFreeThreadedMarshaler(GetControllingUnknown(), marshaler.put());
}

void CVORNProtocol::FinalRelease() {
    marshaler = nullptr;
    stackServices = nullptr;
}

HRESULT CVORNProtocol::Initialise(IVELDO_DeviceInfo*) {
    ZQMTraceJO("CVORNProtocol::Initialise()\n");
    return E_NOTIMPL;
}
HRESULT CVORNProtocol::UnInitialise() {
    return E_NOTIMPL;
}
HRESULT CVORNProtocol::Send(IVELDO_ProtocolMessage*) {
    return E_NOTIMPL;
}
HRESULT CVORNProtocol::Receive(IVELDO_NetworkMessage*) {
    return E_NOTIMPL;
}
HRESULT CVORNProtocol::SamePhysicalTarget(LPWSTR, LONG*) {
    return E_NOTIMPL;
}
HRESULT CVORNProtocol::GetRuntimeInformation(LPWSTR*) {
    return E_NOTIMPL;
}
HRESULT CVORNProtocol::IsValidRuntimeConfiguration(LPWSTR, LONG*) {
    return E_NOTIMPL;
}
HRESULT CVORNProtocol::ChangeRuntimeInformation(LPWSTR) {
    return E_NOTIMPL;
}
