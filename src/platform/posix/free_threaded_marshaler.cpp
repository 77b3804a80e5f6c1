// The free-threaded marshaler for Linux: an aggregatable object whose inner unknown answers
// IMarshal on behalf of its outer (controlling) unknown. Within one process an interface is
// handed on as a direct pointer, which is all the marshaler has to say here: its unmarshal
// class is the in-process free-threaded one, and there is no cross-process marshaling.
#include <new>

#include "platform/interlocked.h"
#include "platform/posix/com_api.h"

namespace {

class FreeThreadedMarshaler final : public IMarshal {
public:
    explicit FreeThreadedMarshaler(IUnknown* outer) noexcept
        : inner_(this), outer_(outer != nullptr ? outer : &inner_) {}

    IUnknown* Inner() noexcept { return &inner_; }

    // IUnknown of IMarshal: delegated to the controlling unknown.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return outer_->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

    HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID, void*, DWORD dwDestContext, void*, DWORD,
                                                CLSID* pCid) override {
        if (pCid == nullptr) return E_POINTER;
        if (dwDestContext != MSHCTX_INPROC) return E_NOTIMPL;
        *pCid = CLSID_InProcFreeMarshaler;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID, void*, DWORD dwDestContext, void*, DWORD,
                                                DWORD* pSize) override {
        if (pSize == nullptr) return E_POINTER;
        if (dwDestContext != MSHCTX_INPROC) return E_NOTIMPL;
        *pSize = static_cast<DWORD>(sizeof(void*) + sizeof(DWORD) + sizeof(GUID));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MarshalInterface(IStream*, REFIID, void*, DWORD, void*,
                                               DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream*, REFIID, void** ppv) override {
        if (ppv != nullptr) *ppv = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD) override { return S_OK; }

private:
    // The non-delegating unknown that the aggregating object holds.
    class InnerUnknown final : public IUnknown {
    public:
        explicit InnerUnknown(FreeThreadedMarshaler* owner) noexcept : owner_(owner) {}

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
            if (ppv == nullptr) return E_POINTER;
            *ppv = nullptr;
            if (IsEqualIID(riid, IID_IUnknown)) {
                *ppv = static_cast<IUnknown*>(this);
            } else if (IsEqualIID(riid, IID_IMarshal)) {
                *ppv = static_cast<IMarshal*>(owner_);
            } else {
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*ppv)->AddRef();
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs_.Increment()); }
        ULONG STDMETHODCALLTYPE Release() override {
            const LONG left = refs_.Decrement();
            if (left == 0) delete owner_;
            return static_cast<ULONG>(left);
        }

    private:
        FreeThreadedMarshaler* const owner_;
        platform::InterlockedCounter refs_{1};
    };

    InnerUnknown inner_;
    IUnknown* const outer_;
};

}  // namespace

extern "C" HRESULT CoCreateFreeThreadedMarshaler(IUnknown* punkOuter, IUnknown** ppunkMarshal) {
    if (ppunkMarshal == nullptr) return E_INVALIDARG;
    *ppunkMarshal = nullptr;
    auto* marshaler = new (std::nothrow) FreeThreadedMarshaler(punkOuter);
    if (marshaler == nullptr) return E_OUTOFMEMORY;
    *ppunkMarshal = marshaler->Inner();  // carries the reference the marshaler started with
    return S_OK;
}
