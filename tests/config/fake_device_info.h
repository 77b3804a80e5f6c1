// A device-information object whose GetUnknown hands out a configuration source, with knobs
// for the answers the configuration read must handle. It records the calls it gets and counts
// references; it lives on the stack and is never deleted by Release.
#pragma once

#include <algorithm>
#include <string>

#include "interfaces/layer_interfaces.h"
#include "interfaces/stack_interfaces.h"
#include "interfaces/vorn_ids.h"
#include "platform/com.h"

namespace testing_support {

class FakeConfigurationSource : public IVELDO_ConfigurationSource {
  public:
    HRESULT textResult = S_OK;
    platform::WideString text;
    int textCalls = 0;
    platform::WideString lastOptions;
    int releases = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv != nullptr) *ppv = nullptr;
        return E_NOINTERFACE;  // the layer must use the pointer as it came
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override {
        ++releases;
        return 1;
    }
    HRESULT STDMETHODCALLTYPE GetConfigurationText(LPWSTR prgOptions, LPWSTR* pprgText) override {
        ++textCalls;
        lastOptions = platform::WideView(prgOptions);
        *pprgText = nullptr;
        if (FAILED(textResult)) return textResult;
        const std::size_t bytes = (text.size() + 1) * sizeof(WCHAR);
        *pprgText = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (*pprgText == nullptr) return E_OUTOFMEMORY;
        std::copy(text.c_str(), text.c_str() + text.size() + 1, *pprgText);
        return textResult;
    }
};

class FakeDeviceInfo : public IVELDO_DeviceInfo {
  public:
    HRESULT unknownResult = S_OK;
    bool handsOutSource = true;
    FakeConfigurationSource source;
    int unknownCalls = 0;
    GUID lastIid{};

    explicit FakeDeviceInfo(platform::WideString text) { source.text = std::move(text); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv != nullptr) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetUnknown(GUID* iid, IUnknown** ppUnk) override {
        ++unknownCalls;
        lastIid = *iid;
        *ppUnk = nullptr;
        if (FAILED(unknownResult)) return unknownResult;
        if (handsOutSource) *ppUnk = &source;
        return unknownResult;
    }

    // Not called by the configuration read.
    HRESULT STDMETHODCALLTYPE GetStackCookie(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetCLSID(GUID*, GUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCLSID(GUID*, GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveCLSID(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetUnknown(GUID*, IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveUnknown(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetUnknownShare(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveUnknownShare(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUnknownShare(GUID*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetManager(GUID, IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetManager(GUID, IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveManager(GUID) override { return E_NOTIMPL; }
};

}  // namespace testing_support
