// The COM object shapes of an in-process server: a plain object, and an object contained in an
// aggregate behind a wrapper whose IUnknown is the non-delegating unknown given to the outer
// object. Both hold the module lock for as long as they live.
//
// A class T that these templates complete implements its interfaces but not IUnknown, and
// provides:
//   HRESULT InternalQueryInterface(REFIID, void**)  its interface table; AddRefs the interface
//                                                   it hands out through that interface
//   IUnknown* GetRawUnknown()                       its first interface, its own identity
//   virtual IUnknown* GetControllingUnknown() = 0   itself, or the outer object when aggregated
//   HRESULT FinalConstruct(); void FinalRelease();  second construction step and its undoing
//
//   RETURN_IF_FAILED(module::CreatePlainInstance<CVORNProtocol>(riid, ppv));
#pragma once

#include <new>

#include "module/module_lock.h"
#include "platform/com.h"
#include "platform/interlocked.h"

namespace module {

// The plain form: reference counted by itself. Destroyed at count 0 in the order FinalRelease,
// module lock released, destructor.
template <class T>
class ComObject final : public T {
public:
    ComObject() { ModuleLock::Lock(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return this->InternalQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs_.Increment()); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = refs_.Decrement();
        if (left == 0) Destroy();
        return static_cast<ULONG>(left);
    }
    IUnknown* GetControllingUnknown() override { return this->GetRawUnknown(); }

    // The creator's protective reference around FinalConstruct: the count goes up and back down
    // without destroying the object, whatever FinalConstruct did with references meanwhile.
    HRESULT GuardedFinalConstruct() {
        refs_.Increment();
        const HRESULT hr = this->FinalConstruct();
        refs_.Decrement();
        return hr;
    }

    void Destroy() {
        this->FinalRelease();
        delete this;
    }

private:
    ~ComObject() { ModuleLock::Unlock(); }

    platform::InterlockedCounter refs_{0};
};

// The contained form: its interfaces delegate AddRef and Release to the outer object, and
// QueryInterface asks the outer object first.
template <class T>
class ContainedObject final : public T {
public:
    explicit ContainedObject(IUnknown* outer) noexcept : outer_(outer) {}
    ContainedObject(const ContainedObject&) = delete;
    ContainedObject& operator=(const ContainedObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        HRESULT hr = outer_->QueryInterface(riid, ppv);
        if (FAILED(hr) && this->GetRawUnknown() != outer_) {
            hr = this->InternalQueryInterface(riid, ppv);
        }
        return hr;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }
    IUnknown* GetControllingUnknown() override { return outer_; }

private:
    IUnknown* const outer_;  // not counted: the outer object owns the aggregate
};

// The aggregate wrapper: owns the contained object and its own reference count; its IUnknown is
// the non-delegating unknown that the outer object holds.
template <class T>
class AggregateWrapper final : public IUnknown {
public:
    explicit AggregateWrapper(IUnknown* outer) : contained_(outer) { ModuleLock::Lock(); }
    AggregateWrapper(const AggregateWrapper&) = delete;
    AggregateWrapper& operator=(const AggregateWrapper&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return contained_.InternalQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs_.Increment()); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = refs_.Decrement();
        if (left == 0) Destroy();
        return static_cast<ULONG>(left);
    }

    // Aggregated objects run FinalConstruct without a protective reference: the outer object's
    // count is not theirs to touch.
    HRESULT FinalConstruct() { return contained_.FinalConstruct(); }

    void Destroy() {
        contained_.FinalRelease();
        delete this;
    }

    T& Contained() noexcept { return contained_; }

private:
    ~AggregateWrapper() { ModuleLock::Unlock(); }

    platform::InterlockedCounter refs_{0};
    ContainedObject<T> contained_;
};

// Plain creation: construct, FinalConstruct under a protective reference, then ask for the
// requested interface. Anything but exactly S_OK from either step destroys the object again and
// is returned. A failed allocation, or a construction that runs out of memory, is E_OUTOFMEMORY.
template <class T>
HRESULT CreatePlainInstance(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    ComObject<T>* object = nullptr;
    try {
        object = new ComObject<T>();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = object->GuardedFinalConstruct();
    if (hr == S_OK) hr = object->QueryInterface(riid, ppv);
    if (hr != S_OK) {
        *ppv = nullptr;
        object->Destroy();
    }
    return hr;
}

// Aggregated creation: as plain creation, inside the wrapper, with the outer object as the
// controlling unknown; the outer object receives the wrapper's non-delegating unknown.
template <class T>
HRESULT CreateAggregatedInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    AggregateWrapper<T>* wrapper = nullptr;
    try {
        wrapper = new AggregateWrapper<T>(outer);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = wrapper->FinalConstruct();
    if (hr == S_OK) hr = wrapper->QueryInterface(riid, ppv);
    if (hr != S_OK) {
        *ppv = nullptr;
        wrapper->Destroy();
    }
    return hr;
}

}  // namespace module
