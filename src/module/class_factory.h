// The class factory of an in-process server. One factory per class is cached in the module's
// class table; clients get it from DllGetClassObject. Its reference count keeps the module lock
// exactly while somebody besides the class table holds it.
//
//   IUnknown* cached = nullptr;
//   RETURN_IF_FAILED(module::ClassFactory::Create(&CreateMyInstance, IID_IUnknown,
//                                                 reinterpret_cast<void**>(&cached)));
#pragma once

#include "platform/com.h"
#include "platform/critical_section.h"

namespace module {

// Creates an instance, plain (outer null) or aggregated, and asks it for riid.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

class ClassFactory final : public IClassFactory {
public:
    // The class-factory creator: a new factory for `creator`, asked for riid. E_OUTOFMEMORY when
    // it cannot be allocated; a refused interface destroys it again and is returned.
    static HRESULT Create(InstanceCreator creator, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // E_POINTER for a null ppv; CLASS_E_NOAGGREGATION when an outer object asks for anything
    // but IUnknown; otherwise what the instance creator returns.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    // TRUE takes a module lock, FALSE drops one; always S_OK.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    explicit ClassFactory(InstanceCreator creator) noexcept : creator_(creator) {}
    ~ClassFactory() = default;

    const InstanceCreator creator_;
    platform::CriticalSection countLock_;
    LONG references_ GUARDED_BY(countLock_) = 0;
};

}  // namespace module
