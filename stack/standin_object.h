// The shape shared by every stand-in COM class: reference counting with over-release detection,
// live-object counting, and QueryInterface over the interfaces the class lists.
//
//   class MessageSink : public ComObject<IVELDO_MessageSink> { ... };
//
// The first listed interface is the object's identity (its IUnknown) and sits at the start of
// the object, so a pointer to the concrete class and to that interface have the same value.
// A class that holds references or threads drops them in ReleaseHeldResources(), which runs
// when the count reaches 0; the emptied object then goes to the census's quarantine.
#pragma once

#include <atomic>
#include <utility>

#include "platform/com.h"
#include "platform/com_ptr.h"
#include "platform/interlocked.h"
#include "stack/object_census.h"

namespace stack {

class StandInRoot {
public:
    StandInRoot(const StandInRoot&) = delete;
    StandInRoot& operator=(const StandInRoot&) = delete;
    virtual ~StandInRoot();

    StandInClass Class() const noexcept { return class_; }
    LONG References() const noexcept { return refs_.Value(); }

protected:
    explicit StandInRoot(StandInClass standInClass) noexcept;

    ULONG AddRefImpl() noexcept;
    ULONG ReleaseImpl() noexcept;

    // Drops the references, blocks and threads the object holds; runs once, when the count
    // reaches 0 (the destructor must cope with having run after it).
    virtual void ReleaseHeldResources() noexcept {}

private:
    const StandInClass class_;
    platform::InterlockedCounter refs_{0};
    std::atomic<bool> retired_{false};
};

template <class First, class... Rest>
class ComObject : public First, public Rest..., public StandInRoot {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = FindInterface(riid);
        if (*ppv == nullptr) return E_NOINTERFACE;
        AddRefImpl();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    // The object's IUnknown, as call records name it.
    const void* Identity() const noexcept { return static_cast<const First*>(this); }

protected:
    explicit ComObject(StandInClass standInClass) noexcept : StandInRoot(standInClass) {}

    // The interface pointer for riid, or null. Classes with more (or switchable) interfaces
    // extend it.
    virtual void* FindInterface(REFIID riid) noexcept {
        if (IsEqualIID(riid, IID_IUnknown)) {
            return static_cast<IUnknown*>(static_cast<First*>(this));
        }
        void* found = Cast<First>(riid);
        ((found = found != nullptr ? found : Cast<Rest>(riid)), ...);
        return found;
    }

private:
    template <class Interface>
    void* Cast(REFIID riid) noexcept {
        return IsEqualIID(riid, platform::InterfaceId<Interface>::get())
                   ? static_cast<void*>(static_cast<Interface*>(this))
                   : nullptr;
    }
};

// Creates a stand-in holding the one reference of the returned holder.
template <class T, class... Args>
platform::ComPtr<T> MakeStandIn(Args&&... args) {
    return platform::ComPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace stack
