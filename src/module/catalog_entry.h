// The layer's entry in the device stack's component catalog, under which the stack finds the
// VORN protocol layer. Registration writes it and unregistration removes it, each inside a
// CatalogSession: COM initialised for the thread and the catalog created for as long as the
// session lives. The catalog is optional: when it cannot be created (the stack is not
// installed) nothing happens, and no result of its operations is examined.
//
//   { module::CatalogSession catalog; catalog.AddEntry(); }
#pragma once

#include "interfaces/stack_interfaces.h"
#include "platform/com_ptr.h"

namespace module {

inline constexpr const WCHAR* kCatalogSection = WIDE("COMPONENTS\\PROTOCOLS");
inline constexpr const WCHAR* kCatalogKey = WIDE("VORN");
// The version-dependent program identifier, with the class id in registry form.
inline constexpr const WCHAR* kCatalogValue =
    WIDE("[CLSID={9CB2BD36-16F7-413C-9ACE-61F9DDE5E10D}:PROGID=Halvek.Protocol.VORNProtocol.1]");

class CatalogSession {
public:
    CatalogSession() noexcept;
    ~CatalogSession();
    CatalogSession(const CatalogSession&) = delete;
    CatalogSession& operator=(const CatalogSession&) = delete;

    // CreateSection, then SetEntry with the value above.
    void AddEntry() noexcept;
    void RemoveEntry() noexcept;

private:
    HRESULT initialised_;
    platform::ComPtr<IVELDO_ComponentCatalog> catalog_;
};

}  // namespace module
