// RAII for COM references.
//
// ComPtr<T> holds one counted reference and releases it when it goes out of scope, so no path,
// including an exception, can leak or double-release a reference:
//
//   platform::ComPtr<IVELDO_NetworkMessage> message;
//   RETURN_IF_FAILED(CoCreateInstance(CLSID_NetworkMessage, nullptr, CLSCTX_INPROC,
//                                     IID_IVELDO_NetworkMessage, message.put_void()));
//
// put() releases what the holder had before handing out the address for an out-parameter;
// detach() hands the reference to the caller and must not be ignored. query_to() asks for
// another interface by its identifier, as declared with VORN_DECLARE_INTERFACE_ID.
#pragma once

#include <cstddef>
#include <utility>

#include "platform/com.h"

namespace platform {

// The interface identifier of a C++ interface type. Interfaces without a declaration cannot
// be queried by type, which turns a wrong identifier into a compile-time error.
template <class Interface>
struct InterfaceId;

#define VORN_DECLARE_INTERFACE_ID(Interface, Iid)        \
    template <>                                          \
    struct platform::InterfaceId<Interface> {            \
        static const IID& get() noexcept { return Iid; } \
    }

}  // namespace platform

VORN_DECLARE_INTERFACE_ID(IUnknown, IID_IUnknown);
VORN_DECLARE_INTERFACE_ID(IClassFactory, IID_IClassFactory);
VORN_DECLARE_INTERFACE_ID(IMarshal, IID_IMarshal);

namespace platform {

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a reference of its own on p.
    explicit ComPtr(T* p) noexcept : ptr_(p) { AddRefIfSet(); }
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) { AddRefIfSet(); }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr copy(other);
        swap(copy);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr moved(std::move(other));
        swap(moved);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    // Adopts a reference that the caller already owns (no AddRef).
    static ComPtr Attach(T* p) noexcept {
        ComPtr holder;
        holder.ptr_ = p;
        return holder;
    }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    // Releases the current reference and returns the address for an out-parameter.
    T** put() noexcept {
        reset();
        return &ptr_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    IUnknown** put_unknown() noexcept { return reinterpret_cast<IUnknown**>(put()); }

    [[nodiscard]] T* detach() noexcept { return std::exchange(ptr_, nullptr); }

    void reset() noexcept {
        if (T* old = std::exchange(ptr_, nullptr)) old->Release();
    }

    void swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

    // Hands a new reference to an out-parameter.
    HRESULT copy_to(T** out) const noexcept {
        if (out == nullptr) return E_POINTER;
        *out = ptr_;
        AddRefIfSet();
        return S_OK;
    }

    template <class U>
    HRESULT query_to(U** out) const noexcept {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (ptr_ == nullptr) return E_POINTER;
        return ptr_->QueryInterface(InterfaceId<U>::get(), reinterpret_cast<void**>(out));
    }

    template <class U>
    HRESULT query_to(ComPtr<U>* out) const noexcept {
        return query_to(out->put());
    }

private:
    void AddRefIfSet() const noexcept {
        if (ptr_ != nullptr) ptr_->AddRef();
    }

    T* ptr_ = nullptr;
};

}  // namespace platform
