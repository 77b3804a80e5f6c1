// This module's class table: CVORNProtocol, created through module::ClassFactory, plain or
// inside an aggregate, and registered by the registry script VELDO_VORNProtocol.rgs; and the
// type library the module carries.
#include "interfaces/vorn_ids.h"
#include "module/com_object.h"
#include "module/module_record.h"
#include "module/registrar.h"
#include "module/registry_script_source.h"
#include "platform/registry.h"
#include "protocol/cvorn_protocol.h"

namespace module {

namespace {

HRESULT CreateProtocolInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (outer == nullptr) return CreatePlainInstance<CVORNProtocol>(riid, ppv);
    return CreateAggregatedInstance<CVORNProtocol>(outer, riid, ppv);
}

HRESULT UpdateProtocolRegistry(BOOL registering) {
    const platform::ModuleHandle instance = TheModule().Instance();
    const std::optional<platform::WideString> script = LoadRegistryScript(instance);
    if (!script) return E_FAIL;
    const platform::WideString path = platform::ModuleFileName(instance);
    if (path.empty()) return E_FAIL;
    Registrar registrar(platform::ClassesRoot());
    registrar.AddReplacement(WIDE("MODULE"), path);
    return registering ? registrar.Register(*script) : registrar.Unregister(*script);
}

void NothingToStartOrStop(BOOL) {}

ClassEntry classTable[] = {
    {&CLSID_VORNProtocol,
     &UpdateProtocolRegistry,
     &ClassFactory::Create,
     &CreateProtocolInstance,
     {nullptr},
     &NothingToStartOrStop},
};

// Version 1.0, locale 0x409, and the flags that widl gives the library it builds.
constexpr platform::TypeLibraryIdentity kTypeLibrary{
    LIBID_VELDO_VORNPROTOCOLLib, 1, 0, 0x409, 0x8, WIDE("VELDO_VORNProtocol 1.0 Type Library")};

constinit ModuleRecord theModule(classTable, kTypeLibrary);

}  // namespace

ModuleRecord& TheModule() {
    return theModule;
}

}  // namespace module
