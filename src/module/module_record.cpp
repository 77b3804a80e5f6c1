#include "module/module_record.h"

#include "module/module_lock.h"

namespace module {

void ModuleRecord::Attach(platform::ModuleHandle instance) noexcept {
    instance_.store(instance);
    platform::DisableThreadNotifications(instance);
    for (ClassEntry& entry : classes_) entry.classMain(TRUE);
}

void ModuleRecord::Detach() noexcept {
    for (ClassEntry& entry : classes_) {
        entry.classMain(FALSE);
        if (IUnknown* factory = entry.cachedFactory.exchange(nullptr)) factory->Release();
    }
}

HRESULT ModuleRecord::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    for (ClassEntry& entry : classes_) {
        if (!IsEqualCLSID(*entry.clsid, clsid)) continue;
        IUnknown* factory = entry.cachedFactory.load();
        if (factory == nullptr) {
            IUnknown* created = nullptr;
            const HRESULT hr = entry.createFactory(entry.createInstance, IID_IUnknown,
                                                   reinterpret_cast<void**>(&created));
            if (FAILED(hr)) return hr;
            // Two first requests at once: one factory is kept, the other one goes again.
            if (entry.cachedFactory.compare_exchange_strong(factory, created)) {
                factory = created;
            } else {
                created->Release();
            }
        }
        return factory->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ModuleRecord::CanUnloadNow() noexcept {
    return ModuleLock::Count() == 0 ? S_OK : S_FALSE;
}

HRESULT ModuleRecord::RegisterServer() {
    for (ClassEntry& entry : classes_) {
        const HRESULT hr = entry.updateRegistry(TRUE);
        if (FAILED(hr)) return hr;
    }
    return platform::RegisterModuleTypeLibrary(platform::ModuleFileName(Instance()), typeLibrary_);
}

HRESULT ModuleRecord::UnregisterServer() {
    HRESULT result = S_OK;
    for (ClassEntry& entry : classes_) {
        const HRESULT hr = entry.updateRegistry(FALSE);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    const HRESULT hr =
        platform::UnregisterModuleTypeLibrary(platform::ModuleFileName(Instance()), typeLibrary_);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    return result;
}

}  // namespace module
