// The device's configuration source (IVELDO_ConfigurationSource): GetConfigurationText hands
// out a task-memory copy of its text, which the caller frees. The text may be scripted to be
// null (S_OK with a null text); a failing call is scripted through the fault plan
// ("ConfigurationSource::GetConfigurationText").
#pragma once

#include <mutex>
#include <optional>

#include "interfaces/stack_interfaces.h"
#include "stack/standin_object.h"

namespace stack {

class ConfigurationSource : public ComObject<IVELDO_ConfigurationSource> {
public:
    static platform::ComPtr<ConfigurationSource> Create(std::optional<platform::WideString> text);

    // nullopt: GetConfigurationText succeeds with a null text.
    void SetText(std::optional<platform::WideString> text);

    HRESULT STDMETHODCALLTYPE GetConfigurationText(LPWSTR prgOptions, LPWSTR* pprgText) override;

private:
    explicit ConfigurationSource(std::optional<platform::WideString> text)
        : ComObject(StandInClass::ConfigurationSource), text_(std::move(text)) {}
    template <class T, class... Args>
    friend platform::ComPtr<T> MakeStandIn(Args&&... args);

    std::mutex lock_;
    std::optional<platform::WideString> text_;  // guarded by lock_
};

}  // namespace stack
