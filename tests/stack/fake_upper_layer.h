// A layer above the lower layer for these tests: it records every reply that reaches its
// Receive (id, data, thread) and may run a hook there. It lives on the stack of the test and
// counts its references without ever deleting itself.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "interfaces/layer_interfaces.h"
#include "platform/interlocked.h"
#include "platform/task_memory.h"

namespace stack_tests {

struct ReceivedReply {
    ULONG messageId = 0;
    std::optional<std::vector<BYTE>> data;
    std::thread::id thread;
};

class FakeUpperLayer : public IVELDO_ProtocolComms {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IVELDO_ProtocolComms)) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IVELDO_ProtocolComms*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs_.Increment()); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(refs_.Decrement()); }

    HRESULT STDMETHODCALLTYPE Initialise(IVELDO_DeviceInfo*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnInitialise() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Send(IVELDO_ProtocolMessage*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SamePhysicalTarget(LPWSTR, LONG*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE Receive(IVELDO_NetworkMessage* pMessage) override {
        ReceivedReply reply;
        reply.thread = std::this_thread::get_id();
        pMessage->GetMessageID(&reply.messageId);
        LONG size = 0;
        platform::TaskMem<BYTE> block;
        if (SUCCEEDED(pMessage->GetData(&size, block.put())) && block && size > 0) {
            reply.data.emplace(block.get(), block.get() + size);
        }
        if (onReceive) onReceive();
        std::lock_guard<std::mutex> guard(lock_);
        replies_.push_back(reply);
        return S_OK;
    }

    std::vector<ReceivedReply> Replies() const {
        std::lock_guard<std::mutex> guard(lock_);
        return replies_;
    }
    LONG References() const { return refs_.Value(); }

    std::function<void()> onReceive;  // set before replies can arrive

private:
    platform::InterlockedCounter refs_{0};
    mutable std::mutex lock_;
    std::vector<ReceivedReply> replies_;
};

}  // namespace stack_tests
