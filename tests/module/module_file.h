// The component under test, loaded from the build tree by path, with its four entry points.
#pragma once

#include <string>

#include "platform/child_process.h"
#include "platform/com.h"
#include "platform/dynamic_library.h"
#include "platform/module_image.h"
#include "platform/text.h"

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

// The module's full path as the system names it once loaded (what registration writes).
inline std::string LoadedModulePath() {
    auto library = platform::DynamicLibrary::Load(ModuleFile());
    const auto entry = library.Function<ModuleEntryPoints::CanUnloadNow>("DllCanUnloadNow");
    if (entry == nullptr) return {};
    return platform::WideToAnsi(
        platform::ModuleFileName(platform::ModuleOfAddress(reinterpret_cast<const void*>(entry))));
}

}  // namespace module_testing
