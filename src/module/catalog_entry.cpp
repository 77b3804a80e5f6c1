#include "module/catalog_entry.h"

#include <new>

#include "interfaces/vorn_ids.h"

namespace module {

namespace {

// The catalog's operations take writable strings; hand it copies of the constants.
platform::WideString Text(const WCHAR* text) {
    return platform::WideString(platform::WideView(text));
}

}  // namespace

CatalogSession::CatalogSession() noexcept : initialised_(CoInitialize(nullptr)) {
    // Any server context (0x17): the catalog may be served outside the process.
    CoCreateInstance(CLSID_ComponentCatalog, nullptr, CLSCTX_ALL, IID_IVELDO_ComponentCatalog,
                     catalog_.put_void());
}

CatalogSession::~CatalogSession() {
    catalog_ = nullptr;
    // A thread already in another apartment refuses the initialisation (RPC_E_CHANGED_MODE);
    // uninitialising then would end the caller's own initialisation.
    if (SUCCEEDED(initialised_)) CoUninitialize();
}

void CatalogSession::AddEntry() noexcept {
    if (!catalog_) return;
    try {
        platform::WideString section = Text(kCatalogSection);
        platform::WideString key = Text(kCatalogKey);
        platform::WideString value = Text(kCatalogValue);
        catalog_->CreateSection(section.data());
        catalog_->SetEntry(section.data(), key.data(), value.data());
    } catch (const std::bad_alloc&) {
        // Out of memory for three short strings: the catalog half is skipped as if absent.
    }
}

void CatalogSession::RemoveEntry() noexcept {
    if (!catalog_) return;
    try {
        platform::WideString section = Text(kCatalogSection);
        platform::WideString key = Text(kCatalogKey);
        catalog_->RemoveEntry(section.data(), key.data());
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace module
