#include "stack/message_base.h"

#include <array>
#include <string>

#include "stack/call_tracking.h"
#include "stack/text_format.h"

namespace stack {
namespace {

constexpr std::array<std::string_view, kSharedMessageOperationCount> kMethodNames = {
    "SetData",      "GetData",      "GetMessageID",       "SetMessageID",
    "GetErrorCode", "SetErrorCode", "SetResponseRequire", "GetResponseRequire",
    "SetReset",     "GetReset",     "SetRetryState",      "GetRetryState",
};

using NameTable = std::array<std::string, kSharedMessageOperationCount>;

NameTable MakeNames(StandInClass messageClass) {
    NameTable names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = std::string(ClassName(messageClass)) + "::" + std::string(kMethodNames[i]);
    }
    return names;
}

std::string NoArguments() {
    return {};
}

std::string Number(const char* name, long long value) {
    return std::string(name) + "=" + std::to_string(value);
}

}  // namespace

std::string_view SharedOperationName(StandInClass messageClass, SharedMessageOperation operation) {
    static const NameTable protocolNames = MakeNames(StandInClass::ProtocolMessage);
    static const NameTable networkNames = MakeNames(StandInClass::NetworkMessage);
    const NameTable& names =
        messageClass == StandInClass::ProtocolMessage ? protocolNames : networkNames;
    return names[static_cast<std::size_t>(operation)];
}

template <class Interface, StandInClass kClass>
void MessageBase<Interface, kClass>::SkipRetryStateOutput(bool skip) {
    Guard guard(lock_);
    skipRetryStateOutput_ = skip;
}

template <class Interface, StandInClass kClass>
void* MessageBase<Interface, kClass>::FindInterface(REFIID riid) noexcept {
    if (IsEqualIID(riid, IID_IVELDO_ReceiveMessage)) {
        return static_cast<IVELDO_ReceiveMessage*>(this);
    }
    return ComObject<Interface>::FindInterface(riid);
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::SetNumber(std::string_view operation, const char* name,
                                                  LONG value, LONG& field) {
    return Perform(
        operation, this->Identity(), [&] { return Number(name, value); },
        [&] {
            Guard guard(lock_);
            field = value;
            return S_OK;
        });
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::GetNumber(std::string_view operation, LONG* out,
                                                  const LONG& field) {
    return Perform(operation, this->Identity(), NoArguments, [&] {
        if (out == nullptr) return E_POINTER;
        Guard guard(lock_);
        *out = field;
        return S_OK;
    });
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::SetBlock(std::string_view operation, LONG size,
                                                 const BYTE* data, MessageBlock& field) {
    return Perform(
        operation, this->Identity(), [&] { return DescribeBlock(size, data); },
        [&] {
            Guard guard(lock_);
            return field.Set(size, data);
        });
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::GetBlock(std::string_view operation, LONG* size,
                                                 BYTE** data, const MessageBlock& field) {
    return Perform(operation, this->Identity(), NoArguments, [&] {
        Guard guard(lock_);
        return field.Get(size, data);
    });
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::SetData(LONG lDataBytes, BYTE* pData) {
    return SetBlock(Name(SharedMessageOperation::SetData), lDataBytes, pData, data_);
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::GetData(LONG* plDataBytes, BYTE** ppData) {
    return GetBlock(Name(SharedMessageOperation::GetData), plDataBytes, ppData, data_);
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::GetMessageID(ULONG* pdwMID) {
    return Perform(Name(SharedMessageOperation::GetMessageID), this->Identity(), NoArguments, [&] {
        if (pdwMID == nullptr) return E_POINTER;
        Guard guard(lock_);
        *pdwMID = messageId_;
        return S_OK;
    });
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::SetMessageID(ULONG dwMID) {
    return Perform(
        Name(SharedMessageOperation::SetMessageID), this->Identity(),
        [&] { return Number("id", dwMID); },
        [&] {
            Guard guard(lock_);
            messageId_ = dwMID;
            return S_OK;
        });
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::GetErrorCode(ULONG* pdwMainCode, ULONG* pdwSubCode) {
    return Perform(Name(SharedMessageOperation::GetErrorCode), this->Identity(), NoArguments, [&] {
        if (pdwMainCode == nullptr || pdwSubCode == nullptr) return E_POINTER;
        Guard guard(lock_);
        *pdwMainCode = mainCode_;
        *pdwSubCode = subCode_;
        return S_OK;
    });
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::SetErrorCode(ULONG dwMainCode, ULONG dwSubCode) {
    return Perform(
        Name(SharedMessageOperation::SetErrorCode), this->Identity(),
        [&] { return Number("main", dwMainCode) + " " + Number("sub", dwSubCode); },
        [&] {
            Guard guard(lock_);
            mainCode_ = dwMainCode;
            subCode_ = dwSubCode;
            return S_OK;
        });
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::SetResponseRequire(LONG bRequire) {
    return SetNumber(Name(SharedMessageOperation::SetResponseRequire), "require", bRequire,
                     responseRequire_);
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::GetResponseRequire(LONG* pbRequire) {
    return GetNumber(Name(SharedMessageOperation::GetResponseRequire), pbRequire, responseRequire_);
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::SetReset(LONG bReset) {
    return SetNumber(Name(SharedMessageOperation::SetReset), "reset", bReset, reset_);
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::GetReset(LONG* bReset) {
    return GetNumber(Name(SharedMessageOperation::GetReset), bReset, reset_);
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::SetRetryState(_tagRetryMethod RetryMethod) {
    return Perform(
        Name(SharedMessageOperation::SetRetryState), this->Identity(),
        [&] { return Number("retry", RetryMethod); },
        [&] {
            Guard guard(lock_);
            retryState_ = RetryMethod;
            return S_OK;
        });
}

template <class Interface, StandInClass kClass>
HRESULT MessageBase<Interface, kClass>::GetRetryState(_tagRetryMethod* pRetryMethod) {
    return Perform(Name(SharedMessageOperation::GetRetryState), this->Identity(), NoArguments, [&] {
        if (pRetryMethod == nullptr) return E_POINTER;
        Guard guard(lock_);
        if (!skipRetryStateOutput_) *pRetryMethod = retryState_;
        return S_OK;
    });
}

template class MessageBase<IVELDO_ProtocolMessage, StandInClass::ProtocolMessage>;
template class MessageBase<IVELDO_NetworkMessage, StandInClass::NetworkMessage>;

}  // namespace stack
