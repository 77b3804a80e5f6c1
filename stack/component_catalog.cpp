#include "stack/component_catalog.h"

#include <string>

#include "stack/call_tracking.h"
#include "stack/message_block.h"
#include "stack/stack_environment.h"
#include "stack/text_format.h"

namespace stack {
namespace {

std::string Texts(const WCHAR* section, const WCHAR* key = nullptr, const WCHAR* value = nullptr) {
    std::string text = "section=" + NarrowText(section);
    if (key != nullptr) text += " key=" + NarrowText(key);
    if (value != nullptr) text += " value=" + NarrowText(value);
    return text;
}

}  // namespace

platform::ComPtr<ComponentCatalog> ComponentCatalog::Create() {
    return MakeStandIn<ComponentCatalog>();
}

HRESULT ComponentCatalog::CreateSection(LPWSTR prgSection) {
    return Perform(
        STACK_OPERATION(ComponentCatalog, CreateSection), Identity(),
        [&] { return Texts(prgSection); },
        [&] {
            if (prgSection == nullptr) return E_POINTER;
            Environment().Catalog().CreateSection(prgSection);
            return S_OK;
        });
}

HRESULT ComponentCatalog::SetEntry(LPWSTR prgSection, LPWSTR prgKey, LPWSTR prgValue) {
    return Perform(
        STACK_OPERATION(ComponentCatalog, SetEntry), Identity(),
        [&] { return Texts(prgSection, prgKey, prgValue); },
        [&] {
            if (prgSection == nullptr || prgKey == nullptr || prgValue == nullptr) {
                return E_POINTER;
            }
            return Environment().Catalog().SetEntry(prgSection, prgKey, prgValue) ? S_OK : E_FAIL;
        });
}

HRESULT ComponentCatalog::RemoveEntry(LPWSTR prgSection, LPWSTR prgKey) {
    return Perform(
        STACK_OPERATION(ComponentCatalog, RemoveEntry), Identity(),
        [&] { return Texts(prgSection, prgKey); },
        [&] {
            if (prgSection == nullptr || prgKey == nullptr) return E_POINTER;
            return Environment().Catalog().RemoveEntry(prgSection, prgKey) ? S_OK : S_FALSE;
        });
}

HRESULT ComponentCatalog::GetEntry(LPWSTR prgSection, LPWSTR prgKey, LPWSTR* pprgValue) {
    return Perform(
        STACK_OPERATION(ComponentCatalog, GetEntry), Identity(),
        [&] { return Texts(prgSection, prgKey); },
        [&] {
            if (prgSection == nullptr || prgKey == nullptr || pprgValue == nullptr) {
                return E_POINTER;
            }
            const auto value = Environment().Catalog().Entry(prgSection, prgKey);
            *pprgValue = CopyToTaskMemory(value);
            return value ? S_OK : S_FALSE;
        });
}

}  // namespace stack
