// The module's entry points: DllMain (process attach and detach) and the four exports that COM
// and the registration tools call.
#include <new>

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

// The stack's catalog first, then COM; only COM's result is reported. Registration allocates
// as it goes, and no exception may leave a module entry point.
STDAPI VORN_MODULE_EXPORT DllRegisterServer() {
    {
        module::CatalogSession catalog;
        catalog.AddEntry();
    }
    try {
        return module::TheModule().RegisterServer();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDAPI VORN_MODULE_EXPORT DllUnregisterServer() {
    module::CatalogSession catalog;
    catalog.RemoveEntry();
    try {
        return module::TheModule().UnregisterServer();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
