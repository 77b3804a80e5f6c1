// The device-information object (IVELDO_DeviceInfo, class CLSID_DeviceInfo): stores what its
// setters get (class ids, counted unknowns, share counts, counted managers) and hands it back.
// An absent entry gives S_FALSE with a null pointer (GetCLSID: GUID_NULL).
//
// The configuration source is special: the device information owns it, and
// GetUnknown(IID_IVELDO_ConfigurationSource) hands it out WITHOUT a counted reference, so the
// layer must not release it. Scripting:
//
//   auto info = stack::DeviceInfo::CreateWithConfiguration(WIDE("[NET]\r\nTMO=300\r\n"));
//   info->SetConfigurationText(std::nullopt);  // the source answers with a null text
//   info->RemoveConfigurationSource();         // GetUnknown succeeds (S_FALSE) with null
//   env.FailOnCall("ConfigurationSource::GetConfigurationText", 1, E_FAIL);
//   info->References();                        // its own reference count
#pragma once

#include <cstring>
#include <map>
#include <mutex>
#include <optional>

#include "interfaces/stack_interfaces.h"
#include "stack/configuration_source.h"
#include "stack/standin_object.h"

namespace stack {

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const noexcept {
        return std::memcmp(&a, &b, sizeof(GUID)) < 0;
    }
};

class DeviceInfo : public ComObject<IVELDO_DeviceInfo> {
public:
    // Without a configuration source (as CoCreateInstance makes it).
    static platform::ComPtr<DeviceInfo> Create();
    // With a configuration source over the text.
    static platform::ComPtr<DeviceInfo> CreateWithConfiguration(platform::WideStringView text);

    // Gives the configuration source this text (nullopt: a null text), making one if needed.
    void SetConfigurationText(std::optional<platform::WideString> text);
    void RemoveConfigurationSource();
    platform::ComPtr<ConfigurationSource> Source() const;
    void SetStackCookie(const GUID& cookie);

    HRESULT STDMETHODCALLTYPE GetStackCookie(GUID* pguid) override;
    HRESULT STDMETHODCALLTYPE SetCLSID(GUID* iid, GUID clsid) override;
    HRESULT STDMETHODCALLTYPE GetCLSID(GUID* iid, GUID* pclsid) override;
    HRESULT STDMETHODCALLTYPE RemoveCLSID(GUID* iid) override;
    HRESULT STDMETHODCALLTYPE SetUnknown(GUID* iid, IUnknown* pUnk) override;
    HRESULT STDMETHODCALLTYPE GetUnknown(GUID* iid, IUnknown** ppUnk) override;
    HRESULT STDMETHODCALLTYPE RemoveUnknown(GUID* iid) override;
    HRESULT STDMETHODCALLTYPE SetUnknownShare(GUID* iid) override;
    HRESULT STDMETHODCALLTYPE RemoveUnknownShare(GUID* iid) override;
    HRESULT STDMETHODCALLTYPE GetUnknownShare(GUID* iid, LONG* plShares) override;
    HRESULT STDMETHODCALLTYPE SetManager(GUID clsid, IUnknown* ppUnk) override;
    HRESULT STDMETHODCALLTYPE GetManager(GUID clsid, IUnknown** ppUnk) override;
    HRESULT STDMETHODCALLTYPE RemoveManager(GUID clsid) override;

protected:
    void ReleaseHeldResources() noexcept override;

private:
    using UnknownMap = std::map<GUID, platform::ComPtr<IUnknown>, GuidLess>;

    DeviceInfo() noexcept;
    template <class T, class... Args>
    friend platform::ComPtr<T> MakeStandIn(Args&&... args);

    // Stores a counted reference, or drops one (S_FALSE when there was none).
    HRESULT Store(UnknownMap& map, const GUID& key, IUnknown* unknown);
    HRESULT Remove(UnknownMap& map, const GUID& key);
    // Hands out a stored unknown; counted unless it is the configuration source.
    HRESULT HandOut(const UnknownMap& map, const GUID& key, bool counted, IUnknown** out);

    mutable std::mutex lock_;
    GUID stackCookie_;  // guarded by lock_ (and the others below)
    std::map<GUID, GUID, GuidLess> clsids_;
    UnknownMap unknowns_;  // includes the configuration source
    std::map<GUID, LONG, GuidLess> shares_;
    UnknownMap managers_;
};

}  // namespace stack
