#include "stack/device_info.h"

#include <string>
#include <utility>

#include "stack/call_tracking.h"
#include "stack/stack_environment.h"
#include "stack/text_format.h"

namespace stack {
namespace {

using Guard = std::lock_guard<std::mutex>;

std::string Key(const char* name, const GUID* guid) {
    return std::string(name) + "=" + (guid == nullptr ? "null" : FormatGuid(*guid));
}

}  // namespace

DeviceInfo::DeviceInfo() noexcept
    : ComObject(StandInClass::DeviceInfo), stackCookie_(kDefaultStackCookie) {}

platform::ComPtr<DeviceInfo> DeviceInfo::Create() {
    return MakeStandIn<DeviceInfo>();
}

platform::ComPtr<DeviceInfo> DeviceInfo::CreateWithConfiguration(platform::WideStringView text) {
    platform::ComPtr<DeviceInfo> info = Create();
    info->SetConfigurationText(platform::WideString(text));
    return info;
}

void DeviceInfo::SetConfigurationText(std::optional<platform::WideString> text) {
    platform::ComPtr<ConfigurationSource> source = Source();
    if (source) {
        source->SetText(std::move(text));
        return;
    }
    source = ConfigurationSource::Create(std::move(text));
    platform::ComPtr<IUnknown> unknown(static_cast<IVELDO_ConfigurationSource*>(source.get()));
    Guard guard(lock_);
    unknowns_[IID_IVELDO_ConfigurationSource] = std::move(unknown);
}

void DeviceInfo::RemoveConfigurationSource() {
    Remove(unknowns_, IID_IVELDO_ConfigurationSource);
}

platform::ComPtr<ConfigurationSource> DeviceInfo::Source() const {
    Guard guard(lock_);
    auto found = unknowns_.find(IID_IVELDO_ConfigurationSource);
    if (found == unknowns_.end()) return nullptr;
    // A source stored through SetUnknown may be somebody else's object: not ours to script.
    return platform::ComPtr<ConfigurationSource>(
        dynamic_cast<ConfigurationSource*>(found->second.get()));
}

void DeviceInfo::SetStackCookie(const GUID& cookie) {
    Guard guard(lock_);
    stackCookie_ = cookie;
}

void DeviceInfo::ReleaseHeldResources() noexcept {
    UnknownMap unknowns;
    UnknownMap managers;
    {
        Guard guard(lock_);
        unknowns.swap(unknowns_);
        managers.swap(managers_);
    }
    // The maps release their references here, outside the lock.
}

HRESULT DeviceInfo::HandOut(const UnknownMap& map, const GUID& key, bool counted, IUnknown** out) {
    Guard guard(lock_);
    auto found = map.find(key);
    if (found == map.end()) return S_FALSE;
    *out = found->second.get();
    if (counted) (*out)->AddRef();
    return S_OK;
}

HRESULT DeviceInfo::Store(UnknownMap& map, const GUID& key, IUnknown* unknown) {
    platform::ComPtr<IUnknown> held(unknown);
    Guard guard(lock_);
    map[key].swap(held);
    return S_OK;  // a replaced reference is released after the lock is left
}

HRESULT DeviceInfo::Remove(UnknownMap& map, const GUID& key) {
    platform::ComPtr<IUnknown> removed;
    Guard guard(lock_);
    auto found = map.find(key);
    if (found == map.end()) return S_FALSE;
    removed.swap(found->second);
    map.erase(found);
    return S_OK;
}

HRESULT DeviceInfo::GetStackCookie(GUID* pguid) {
    return Perform(
        STACK_OPERATION(DeviceInfo, GetStackCookie), Identity(), [] { return std::string(); },
        [&] {
            if (pguid == nullptr) return E_POINTER;
            Guard guard(lock_);
            *pguid = stackCookie_;
            return S_OK;
        });
}

HRESULT DeviceInfo::SetCLSID(GUID* iid, GUID clsid) {
    return Perform(
        STACK_OPERATION(DeviceInfo, SetCLSID), Identity(),
        [&] { return Key("iid", iid) + " " + Key("clsid", &clsid); },
        [&] {
            if (iid == nullptr) return E_POINTER;
            Guard guard(lock_);
            clsids_[*iid] = clsid;
            return S_OK;
        });
}

HRESULT DeviceInfo::GetCLSID(GUID* iid, GUID* pclsid) {
    return Perform(
        STACK_OPERATION(DeviceInfo, GetCLSID), Identity(), [&] { return Key("iid", iid); },
        [&] {
            if (iid == nullptr || pclsid == nullptr) return E_POINTER;
            Guard guard(lock_);
            auto found = clsids_.find(*iid);
            *pclsid = found == clsids_.end() ? GUID_NULL : found->second;
            return found == clsids_.end() ? S_FALSE : S_OK;
        });
}

HRESULT DeviceInfo::RemoveCLSID(GUID* iid) {
    return Perform(
        STACK_OPERATION(DeviceInfo, RemoveCLSID), Identity(), [&] { return Key("iid", iid); },
        [&] {
            if (iid == nullptr) return E_POINTER;
            Guard guard(lock_);
            return clsids_.erase(*iid) != 0 ? S_OK : S_FALSE;
        });
}

HRESULT DeviceInfo::SetUnknown(GUID* iid, IUnknown* pUnk) {
    return Perform(
        STACK_OPERATION(DeviceInfo, SetUnknown), Identity(),
        [&] { return Key("iid", iid) + " unknown=" + FormatPointer(pUnk); },
        [&] {
            if (iid == nullptr || pUnk == nullptr) return E_POINTER;
            return Store(unknowns_, *iid, pUnk);
        });
}

HRESULT DeviceInfo::GetUnknown(GUID* iid, IUnknown** ppUnk) {
    if (ppUnk != nullptr) *ppUnk = nullptr;
    return Perform(
        STACK_OPERATION(DeviceInfo, GetUnknown), Identity(), [&] { return Key("iid", iid); },
        [&] {
            if (iid == nullptr || ppUnk == nullptr) return E_POINTER;
            const bool counted = !IsEqualIID(*iid, IID_IVELDO_ConfigurationSource);
            return HandOut(unknowns_, *iid, counted, ppUnk);
        });
}

HRESULT DeviceInfo::RemoveUnknown(GUID* iid) {
    return Perform(
        STACK_OPERATION(DeviceInfo, RemoveUnknown), Identity(), [&] { return Key("iid", iid); },
        [&] {
            if (iid == nullptr) return E_POINTER;
            return Remove(unknowns_, *iid);
        });
}

HRESULT DeviceInfo::SetUnknownShare(GUID* iid) {
    return Perform(
        STACK_OPERATION(DeviceInfo, SetUnknownShare), Identity(), [&] { return Key("iid", iid); },
        [&] {
            if (iid == nullptr) return E_POINTER;
            Guard guard(lock_);
            ++shares_[*iid];
            return S_OK;
        });
}

HRESULT DeviceInfo::RemoveUnknownShare(GUID* iid) {
    return Perform(
        STACK_OPERATION(DeviceInfo, RemoveUnknownShare), Identity(),
        [&] { return Key("iid", iid); },
        [&] {
            if (iid == nullptr) return E_POINTER;
            Guard guard(lock_);
            auto found = shares_.find(*iid);
            if (found == shares_.end() || found->second == 0) return S_FALSE;
            --found->second;
            return S_OK;
        });
}

HRESULT DeviceInfo::GetUnknownShare(GUID* iid, LONG* plShares) {
    return Perform(
        STACK_OPERATION(DeviceInfo, GetUnknownShare), Identity(), [&] { return Key("iid", iid); },
        [&] {
            if (iid == nullptr || plShares == nullptr) return E_POINTER;
            Guard guard(lock_);
            auto found = shares_.find(*iid);
            *plShares = found == shares_.end() ? 0 : found->second;
            return S_OK;
        });
}

HRESULT DeviceInfo::SetManager(GUID clsid, IUnknown* ppUnk) {
    return Perform(
        STACK_OPERATION(DeviceInfo, SetManager), Identity(),
        [&] { return Key("clsid", &clsid) + " unknown=" + FormatPointer(ppUnk); },
        [&] {
            if (ppUnk == nullptr) return E_POINTER;
            return Store(managers_, clsid, ppUnk);
        });
}

HRESULT DeviceInfo::GetManager(GUID clsid, IUnknown** ppUnk) {
    if (ppUnk != nullptr) *ppUnk = nullptr;
    return Perform(
        STACK_OPERATION(DeviceInfo, GetManager), Identity(), [&] { return Key("clsid", &clsid); },
        [&] {
            if (ppUnk == nullptr) return E_POINTER;
            return HandOut(managers_, clsid, true, ppUnk);
        });
}

HRESULT DeviceInfo::RemoveManager(GUID clsid) {
    return Perform(
        STACK_OPERATION(DeviceInfo, RemoveManager), Identity(),
        [&] { return Key("clsid", &clsid); }, [&] { return Remove(managers_, clsid); });
}

}  // namespace stack
