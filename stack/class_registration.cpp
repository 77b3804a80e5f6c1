#include "stack/class_registration.h"

#include <algorithm>
#include <new>

#include "interfaces/vorn_ids.h"
#include "platform/com_ptr.h"
#include "platform/interlocked.h"
#include "stack/call_tracking.h"
#include "stack/component_catalog.h"
#include "stack/device_info.h"
#include "stack/network_message.h"
#include "stack/protocol_message.h"
#include "stack/stack_services.h"
#include "stack/text_format.h"

namespace stack {
namespace {

// The class object of one stand-in class. It is not a stand-in itself: it does not count as a
// live object, so that counts can return to 0 while the classes stay registered.
template <class T>
class StandInFactory final : public IClassFactory {
public:
    explicit StandInFactory(std::string_view createOperation) : createOperation_(createOperation) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs_.Increment()); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG remaining = refs_.Decrement();
        if (remaining == 0) delete this;
        return static_cast<ULONG>(remaining < 0 ? 0 : remaining);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                             void** ppvObject) override {
        if (ppvObject != nullptr) *ppvObject = nullptr;
        return Perform(
            createOperation_, this,
            [&] { return "outer=" + FormatPointer(pUnkOuter) + " iid=" + FormatGuid(riid); },
            [&] {
                if (ppvObject == nullptr) return E_POINTER;
                if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
                platform::ComPtr<T> object = T::Create();
                return object->QueryInterface(riid, ppvObject);
            });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    std::string_view createOperation_;
    platform::InterlockedCounter refs_{0};
};

struct RegistrableClass {
    StandInClass standInClass;
    const CLSID* clsid;
    IClassFactory* (*makeFactory)();
};

template <class T>
IClassFactory* MakeFactory(std::string_view createOperation) {
    return new StandInFactory<T>(createOperation);
}

const RegistrableClass kRegistrable[] = {
    {StandInClass::ProtocolMessage, &CLSID_ProtocolMessage,
     [] { return MakeFactory<ProtocolMessage>(STACK_OPERATION(ProtocolMessage, Create)); }},
    {StandInClass::NetworkMessage, &CLSID_NetworkMessage,
     [] { return MakeFactory<NetworkMessage>(STACK_OPERATION(NetworkMessage, Create)); }},
    {StandInClass::StackServices, &CLSID_StackServices,
     [] { return MakeFactory<StackServices>(STACK_OPERATION(StackServices, Create)); }},
    {StandInClass::ComponentCatalog, &CLSID_ComponentCatalog,
     [] { return MakeFactory<ComponentCatalog>(STACK_OPERATION(ComponentCatalog, Create)); }},
    {StandInClass::DeviceInfo, &CLSID_DeviceInfo,
     [] { return MakeFactory<DeviceInfo>(STACK_OPERATION(DeviceInfo, Create)); }},
};

}  // namespace

ClassRegistration::ClassRegistration(std::initializer_list<StandInClass> leaveOut) {
    for (const RegistrableClass& registrable : kRegistrable) {
        if (std::find(leaveOut.begin(), leaveOut.end(), registrable.standInClass) !=
            leaveOut.end()) {
            continue;
        }
        platform::ComPtr<IClassFactory> factory(registrable.makeFactory());
        DWORD cookie = 0;
        const HRESULT hr = CoRegisterClassObject(*registrable.clsid, factory.get(),
                                                 CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
        if (FAILED(hr)) {
            if (SUCCEEDED(result_)) result_ = hr;
            continue;
        }
        entries_.push_back({registrable.standInClass, cookie});
    }
}

ClassRegistration::~ClassRegistration() {
    for (const Entry& entry : entries_) CoRevokeClassObject(entry.cookie);
}

bool ClassRegistration::IsRegistered(StandInClass standInClass) const noexcept {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& entry) { return entry.standInClass == standInClass; });
}

}  // namespace stack
