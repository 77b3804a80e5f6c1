// The device stack's component catalog (IVELDO_ComponentCatalog, class
// CLSID_ComponentCatalog), kept in memory in the environment's CatalogStore so that every
// catalog object of the process sees the same entries. CreateSection makes a section (S_OK,
// also when it exists); SetEntry needs the section (else E_FAIL) and adds or replaces;
// RemoveEntry gives S_FALSE when there was no entry; GetEntry hands out a task-memory copy,
// or S_FALSE and null when absent. Null text arguments are E_POINTER.
//
//   env.Catalog().Entry(WIDE("COMPONENTS\\PROTOCOLS"), WIDE("VORN"))   // read back directly
#pragma once

#include "interfaces/stack_interfaces.h"
#include "stack/standin_object.h"

namespace stack {

class ComponentCatalog : public ComObject<IVELDO_ComponentCatalog> {
public:
    static platform::ComPtr<ComponentCatalog> Create();

    HRESULT STDMETHODCALLTYPE CreateSection(LPWSTR prgSection) override;
    HRESULT STDMETHODCALLTYPE SetEntry(LPWSTR prgSection, LPWSTR prgKey, LPWSTR prgValue) override;
    HRESULT STDMETHODCALLTYPE RemoveEntry(LPWSTR prgSection, LPWSTR prgKey) override;
    HRESULT STDMETHODCALLTYPE GetEntry(LPWSTR prgSection, LPWSTR prgKey,
                                       LPWSTR* pprgValue) override;

private:
    ComponentCatalog() noexcept : ComObject(StandInClass::ComponentCatalog) {}
    template <class T, class... Args>
    friend platform::ComPtr<T> MakeStandIn(Args&&... args);
};

}  // namespace stack
