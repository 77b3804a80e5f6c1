// A fake COM object that counts AddRef and Release, so a test can prove that references are
// balanced. It answers IUnknown only and is never deleted by Release.
#pragma once

#include "platform/com.h"
#include "platform/interlocked.h"

namespace testing_support {

class CountingUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs_.Increment()); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(refs_.Decrement()); }

    LONG References() const { return refs_.Value(); }

private:
    platform::InterlockedCounter refs_{0};
};

}  // namespace testing_support
