// The component under test, loaded from the build tree by path, with its four entry points.
#pragma once

#include <string>

#include "platform/child_process.h"
#include "platform/com.h"
#include "platform/dynamic_library.h"

namespace module_testing {

// VORN_MODULE_FILE is the module's path relative to the test program's directory, which holds
// under Wine too.
inline std::string ModuleFile() {
    return platform::ExecutableDirectory() + VORN_MODULE_FILE;
}

struct ModuleEntryPoints {
    using CanUnloadNow = HRESULT(STDMETHODCALLTYPE*)();
    using GetClassObject = HRESULT(STDMETHODCALLTYPE*)(REFCLSID, REFIID, void**);
    using Register = HRESULT(STDMETHODCALLTYPE*)();

    explicit ModuleEntryPoints(const platform::DynamicLibrary& library)
        : canUnloadNow(library.Function<CanUnloadNow>("DllCanUnloadNow")),
          getClassObject(library.Function<GetClassObject>("DllGetClassObject")),
          registerServer(library.Function<Register>("DllRegisterServer")),
          unregisterServer(library.Function<Register>("DllUnregisterServer")) {}

    bool complete() const {
        return canUnloadNow != nullptr && getClassObject != nullptr && registerServer != nullptr &&
               unregisterServer != nullptr;
    }

    CanUnloadNow canUnloadNow;
    GetClassObject getClassObject;
    Register registerServer;
    Register unregisterServer;
};

}  // namespace module_testing
