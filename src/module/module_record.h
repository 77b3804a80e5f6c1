// The record of a loaded in-process server: its instance handle, its class table and its type
// library. The module's entry points (entry_points.cpp) forward to the one record of the module
// (TheModule(), defined with the class table in protocol_module.cpp).
//
//   TheModule().Attach(instance);                        // process attach
//   return TheModule().GetClassObject(clsid, riid, ppv); // DllGetClassObject
//   TheModule().Detach();                                // process detach
//
// The lock count that decides unloading is ModuleLock (module_lock.h).
#pragma once

#include <atomic>
#include <span>

#include "module/class_factory.h"
#include "platform/com.h"
#include "platform/module_image.h"
#include "platform/type_library.h"

namespace module {

// One class of the module.
struct ClassEntry {
    const CLSID* clsid;
    // Writes (TRUE) or removes (FALSE) the class's registry entries.
    HRESULT (*updateRegistry)(BOOL registering);
    // The class-factory creator and the instance creator it is given.
    HRESULT (*createFactory)(InstanceCreator creator, REFIID riid, void** ppv);
    InstanceCreator createInstance;
    // The factory cached by the first DllGetClassObject; the entry holds one reference to it
    // until the module is detached.
    std::atomic<IUnknown*> cachedFactory{nullptr};
    // Called at process attach (TRUE) and detach (FALSE).
    void (*classMain)(BOOL starting);
};

class ModuleRecord {
public:
    constexpr ModuleRecord(std::span<ClassEntry> classes,
                           const platform::TypeLibraryIdentity& typeLibrary) noexcept
        : classes_(classes), typeLibrary_(typeLibrary) {}
    ModuleRecord(const ModuleRecord&) = delete;
    ModuleRecord& operator=(const ModuleRecord&) = delete;

    // Process attach: records the instance handle and switches thread notifications off.
    void Attach(platform::ModuleHandle instance) noexcept;
    // Process detach: releases the cached class factories.
    void Detach() noexcept;

    platform::ModuleHandle Instance() const noexcept { return instance_.load(); }

    // The class's cached factory (created on first request), asked for riid;
    // CLASS_E_CLASSNOTAVAILABLE for a class that is not in the table.
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
    // S_OK when the module lock count is 0, else S_FALSE.
    static HRESULT CanUnloadNow() noexcept;

    // Registers every class, then the type library the module carries; stops at the first
    // failure and returns it.
    HRESULT RegisterServer();
    // Unregisters every class and the type library, all of them even after a failure; returns
    // the first failure.
    HRESULT UnregisterServer();

private:
    std::span<ClassEntry> classes_;
    platform::TypeLibraryIdentity typeLibrary_;
    std::atomic<platform::ModuleHandle> instance_{nullptr};
};

// The record of this module.
ModuleRecord& TheModule();

}  // namespace module
