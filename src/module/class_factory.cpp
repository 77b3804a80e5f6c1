#include "module/class_factory.h"

#include <new>

#include "module/module_lock.h"

namespace module {

HRESULT ClassFactory::Create(InstanceCreator creator, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    auto* factory = new (std::nothrow) ClassFactory(creator);
    if (factory == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    if (hr != S_OK) {
        *ppv = nullptr;
        delete factory;
    }
    return hr;
}

HRESULT ClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

// The class table holds the first reference; a second one is a client's, and only clients keep
// the module loaded.
ULONG ClassFactory::AddRef() {
    platform::CriticalSectionGuard guard(countLock_);
    const LONG count = ++references_;
    if (count == 2) ModuleLock::Lock();
    return static_cast<ULONG>(count);
}

ULONG ClassFactory::Release() {
    LONG count;
    {
        platform::CriticalSectionGuard guard(countLock_);
        count = --references_;
    }
    if (count == 0) {
        delete this;
    } else if (count == 1) {
        ModuleLock::Unlock();
    }
    return static_cast<ULONG>(count);
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return creator_(outer, riid, ppv);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock) {
        ModuleLock::Lock();
    } else {
        ModuleLock::Unlock();
    }
    return S_OK;
}

}  // namespace module
