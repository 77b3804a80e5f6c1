// The module's entry points: DllMain (process attach and detach) and the four exports that COM
// and the registration tools call.
#include "module/catalog_entry.h"
#include "module/module_record.h"
#include "platform/module_image.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        module::TheModule().Attach(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        module::TheModule().Detach();
    }
    return TRUE;
}

VORN_MODULE_MAIN(DllMain)

STDAPI VORN_MODULE_EXPORT DllCanUnloadNow() {
    return module::ModuleRecord::CanUnloadNow();
}

STDAPI VORN_MODULE_EXPORT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return module::TheModule().GetClassObject(rclsid, riid, ppv);
}

// The stack's catalog first, then COM; only COM's result is reported.
STDAPI VORN_MODULE_EXPORT DllRegisterServer() {
    {
        module::CatalogSession catalog;
        catalog.AddEntry();
    }
    return module::TheModule().RegisterServer();
}

STDAPI VORN_MODULE_EXPORT DllUnregisterServer() {
    module::CatalogSession catalog;
    catalog.RemoveEntry();
    return module::TheModule().UnregisterServer();
}
