// What the two message classes share: the operations of IVELDO_ReceiveMessage and the
// response-required, reset and retry-state pairs that both derived interfaces declare alike,
// with their fields and the lock that guards them.
//
// Start values: id 0, error codes 0, no data, response required 0, reset 0, retry state
// rm_NONE (so that a caller's own start value shows when GetRetryState is scripted not to
// write).
#pragma once

#include <mutex>
#include <optional>
#include <string_view>

#include "interfaces/layer_interfaces.h"
#include "stack/message_block.h"
#include "stack/standin_object.h"

namespace stack {

enum class SharedMessageOperation {
    SetData,
    GetData,
    GetMessageID,
    SetMessageID,
    GetErrorCode,
    SetErrorCode,
    SetResponseRequire,
    GetResponseRequire,
    SetReset,
    GetReset,
    SetRetryState,
    GetRetryState,
};
inline constexpr int kSharedMessageOperationCount = 12;

// "ProtocolMessage::SetData" and the like.
std::string_view SharedOperationName(StandInClass messageClass, SharedMessageOperation operation);

template <class Interface, StandInClass kClass>
class MessageBase : public ComObject<Interface> {
public:
    // Scripting: GetRetryState succeeds without writing its output.
    void SkipRetryStateOutput(bool skip);

    HRESULT STDMETHODCALLTYPE SetData(LONG lDataBytes, BYTE* pData) override;
    HRESULT STDMETHODCALLTYPE GetData(LONG* plDataBytes, BYTE** ppData) override;
    HRESULT STDMETHODCALLTYPE GetMessageID(ULONG* pdwMID) override;
    HRESULT STDMETHODCALLTYPE SetMessageID(ULONG dwMID) override;
    HRESULT STDMETHODCALLTYPE GetErrorCode(ULONG* pdwMainCode, ULONG* pdwSubCode) override;
    HRESULT STDMETHODCALLTYPE SetErrorCode(ULONG dwMainCode, ULONG dwSubCode) override;
    HRESULT STDMETHODCALLTYPE SetResponseRequire(LONG bRequire) override;
    HRESULT STDMETHODCALLTYPE GetResponseRequire(LONG* pbRequire) override;
    HRESULT STDMETHODCALLTYPE SetReset(LONG bReset) override;
    HRESULT STDMETHODCALLTYPE GetReset(LONG* bReset) override;
    HRESULT STDMETHODCALLTYPE SetRetryState(_tagRetryMethod RetryMethod) override;
    HRESULT STDMETHODCALLTYPE GetRetryState(_tagRetryMethod* pRetryMethod) override;

protected:
    using Guard = std::lock_guard<std::mutex>;

    MessageBase() noexcept : ComObject<Interface>(kClass) {}

    void* FindInterface(REFIID riid) noexcept override;

    // Sets or reads a LONG field under the lock, as one recorded operation.
    HRESULT SetNumber(std::string_view operation, const char* name, LONG value, LONG& field);
    HRESULT GetNumber(std::string_view operation, LONG* out, const LONG& field);
    // Sets or hands out a block field under the lock, as one recorded operation.
    HRESULT SetBlock(std::string_view operation, LONG size, const BYTE* data, MessageBlock& field);
    HRESULT GetBlock(std::string_view operation, LONG* size, BYTE** data,
                     const MessageBlock& field);

    mutable std::mutex lock_;
    ULONG messageId_ = 0;  // guarded by lock_, as are all fields of the message classes
    ULONG mainCode_ = 0;
    ULONG subCode_ = 0;
    MessageBlock data_;
    LONG responseRequire_ = 0;
    LONG reset_ = 0;
    _tagRetryMethod retryState_ = rm_NONE;
    bool skipRetryStateOutput_ = false;

private:
    static std::string_view Name(SharedMessageOperation operation) {
        return SharedOperationName(kClass, operation);
    }
};

extern template class MessageBase<IVELDO_ProtocolMessage, StandInClass::ProtocolMessage>;
extern template class MessageBase<IVELDO_NetworkMessage, StandInClass::NetworkMessage>;

}  // namespace stack
