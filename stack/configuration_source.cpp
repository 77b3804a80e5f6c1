#include "stack/configuration_source.h"

#include "stack/call_tracking.h"
#include "stack/message_block.h"
#include "stack/text_format.h"

namespace stack {

platform::ComPtr<ConfigurationSource> ConfigurationSource::Create(
    std::optional<platform::WideString> text) {
    return MakeStandIn<ConfigurationSource>(std::move(text));
}

void ConfigurationSource::SetText(std::optional<platform::WideString> text) {
    std::lock_guard<std::mutex> guard(lock_);
    text_ = std::move(text);
}

HRESULT ConfigurationSource::GetConfigurationText(LPWSTR prgOptions, LPWSTR* pprgText) {
    return Perform(
        STACK_OPERATION(ConfigurationSource, GetConfigurationText), Identity(),
        [&] { return "options=" + NarrowText(prgOptions); },
        [&] {
            if (pprgText == nullptr) return E_POINTER;
            std::lock_guard<std::mutex> guard(lock_);
            *pprgText = CopyToTaskMemory(text_);
            return S_OK;
        });
}

}  // namespace stack
