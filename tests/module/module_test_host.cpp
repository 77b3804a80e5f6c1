// A host process for the registration tests.
//
//   module_test_host register <module>     loads the module and calls DllRegisterServer
//   module_test_host unregister <module>   ... DllUnregisterServer (what regsvr32 does)
//   module_test_host client                creates the layer through the registry, alone and
//                                          aggregated, and prints what it got
//
// Prints one "<step> <HRESULT>" line per step; exits 0 when the steps ran, 2 on bad usage.
#include <cstdio>
#include <string>

#include "interfaces/layer_interfaces.h"
#include "interfaces/vorn_ids.h"
#include "platform/com_ptr.h"
#include "platform/dynamic_library.h"
#include "platform/os_services.h"
#include "platform/text.h"
#include "stack/class_registration.h"
#include "stack/com_initialisation.h"

namespace {

void Print(const char* step, HRESULT hr) {
    std::printf("%s 0x%08X\n", step, static_cast<unsigned>(hr));
}

int RunRegistration(const char* entryPoint, const std::string& modulePath) {
    auto library = platform::DynamicLibrary::Load(modulePath);
    if (!library.valid()) {
        std::printf("load failed\n");
        return 1;
    }
    using Register = HRESULT(STDMETHODCALLTYPE*)();
    const auto function = library.Function<Register>(entryPoint);
    if (function == nullptr) {
        std::printf("no %s\n", entryPoint);
        return 1;
    }
    const HRESULT hr = function();
    Print(entryPoint, hr);
    return SUCCEEDED(hr) ? 0 : 1;
}

// A minimal outer object: answers IUnknown, hands the rest to the aggregated object.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown)) {
            return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
        }
        *ppv = static_cast<IUnknown*>(this);
        return S_OK;  // not counted: the outer object lives on the stack
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    platform::ComPtr<IUnknown> inner;
};

int RunClient() {
    // The stand-in stack of this process, in its own single-threaded apartment as a host's UI
    // thread would be; the layer's class comes from the registry.
    stack::ComInitialisation com(COINIT_APARTMENTTHREADED);
    stack::ClassRegistration classes;
    Print("com", com.Result());
    Print("classes", classes.Result());

    platform::ComPtr<IVELDO_ProtocolComms> layer;
    Print("create", CoCreateInstance(CLSID_VORNProtocol, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IVELDO_ProtocolComms, layer.put_void()));
    if (layer) {
        platform::ComPtr<IVELDO_RuntimeInformation> runtime;
        Print("runtime", layer.query_to(&runtime));
        platform::ComPtr<IMarshal> marshal;
        Print("marshal", layer.query_to(&marshal));
        if (marshal) {
            CLSID unmarshaler{};
            marshal->GetUnmarshalClass(IID_IVELDO_ProtocolComms, layer.get(), MSHCTX_INPROC,
                                       nullptr, MSHLFLAGS_NORMAL, &unmarshaler);
            OLECHAR text[39] = {};
            StringFromGUID2(unmarshaler, text, 39);
            std::printf("unmarshaler %s\n", platform::WideToAnsi(text).c_str());
        }
        platform::ComPtr<IUnknown> dispatch;
        Print("dispatch", layer->QueryInterface(IID_IDispatch, dispatch.put_void()));
    }
    layer = nullptr;

    Outer outer;
    Print("aggregate", CoCreateInstance(CLSID_VORNProtocol, &outer, CLSCTX_INPROC_SERVER,
                                        IID_IUnknown, outer.inner.put_void()));
    platform::ComPtr<IVELDO_ProtocolComms> contained;
    Print("contained", outer.QueryInterface(IID_IVELDO_ProtocolComms, contained.put_void()));
    contained = nullptr;
    outer.inner = nullptr;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::SetStandardOutputBinary();
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "client" && argc == 2) return RunClient();
    if (command == "register" && argc == 3) return RunRegistration("DllRegisterServer", argv[2]);
    if (command == "unregister" && argc == 3) {
        return RunRegistration("DllUnregisterServer", argv[2]);
    }
    std::fprintf(stderr, "usage: module_test_host register|unregister <module> | client\n");
    return 2;
}
