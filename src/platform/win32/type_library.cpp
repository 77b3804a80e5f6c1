// Type-library registration on Windows: the library embedded in the module, registered by the
// system.
#include "platform/com.h"

// After the Windows headers, which it relies on.
#include <oleauto.h>

#include <string>

#include "platform/com_ptr.h"
#include "platform/type_library.h"

VORN_DECLARE_INTERFACE_ID(ITypeLib, IID_ITypeLib);

namespace platform {

namespace {

HRESULT LoadFromModule(WideStringView modulePath, ComPtr<ITypeLib>& library) {
    const std::wstring path(modulePath);
    return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
}

// The attributes of the library; freed with the library's ReleaseTLibAttr.
class LibraryAttributes {
public:
    explicit LibraryAttributes(ITypeLib* library) : library_(library) {
        result_ = library_->GetLibAttr(&attributes_);
    }
    ~LibraryAttributes() {
        if (attributes_ != nullptr) library_->ReleaseTLibAttr(attributes_);
    }
    LibraryAttributes(const LibraryAttributes&) = delete;
    LibraryAttributes& operator=(const LibraryAttributes&) = delete;

    HRESULT Result() const noexcept { return result_; }
    const TLIBATTR* operator->() const noexcept { return attributes_; }

private:
    ITypeLib* library_;
    TLIBATTR* attributes_ = nullptr;
    HRESULT result_;
};

}  // namespace

HRESULT RegisterModuleTypeLibrary(WideStringView modulePath, const TypeLibraryIdentity&) {
    ComPtr<ITypeLib> library;
    const HRESULT loaded = LoadFromModule(modulePath, library);
    if (FAILED(loaded)) return loaded;
    std::wstring path(modulePath);
    // The help directory is the module's directory.
    std::wstring directory = path.substr(0, path.find_last_of(L"\\/") + 1);
    if (directory.size() > 1 && directory.back() == L'\\') directory.pop_back();
    return ::RegisterTypeLib(library.get(), path.data(),
                             directory.empty() ? nullptr : directory.data());
}

HRESULT UnregisterModuleTypeLibrary(WideStringView modulePath, const TypeLibraryIdentity&) {
    ComPtr<ITypeLib> library;
    const HRESULT loaded = LoadFromModule(modulePath, library);
    if (FAILED(loaded)) return loaded;
    const LibraryAttributes attributes(library.get());
    if (FAILED(attributes.Result())) return attributes.Result();
    return ::UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                               attributes->lcid, attributes->syskind);
}

}  // namespace platform
