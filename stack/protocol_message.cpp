#include "stack/protocol_message.h"

#include <string>

#include "stack/call_tracking.h"
#include "stack/text_format.h"

namespace stack {

platform::ComPtr<ProtocolMessage> ProtocolMessage::Create() {
    return MakeStandIn<ProtocolMessage>();
}

platform::ComPtr<ProtocolMessage> ProtocolMessage::CreateCommand(const CommandSpec& spec) {
    platform::ComPtr<ProtocolMessage> message = Create();
    Guard guard(message->lock_);
    message->messageId_ = spec.messageId;
    message->sendData_.Set(static_cast<LONG>(spec.sendData.size()), spec.sendData.data());
    if (spec.destinationAddress) {
        message->destinationAddress_.Set(static_cast<LONG>(spec.destinationAddress->size()),
                                         spec.destinationAddress->data());
    }
    message->extraTimeout_ = spec.extraTimeout;
    message->responseRequire_ = spec.responseRequire;
    message->reset_ = spec.reset;
    message->retryState_ = spec.retryState;
    return message;
}

void ProtocolMessage::BreakOutput(Block block, std::optional<OutputBreach> breach) {
    Guard guard(lock_);
    switch (block) {
        case Block::Data:
            data_.Break(breach);
            break;
        case Block::SendData:
            sendData_.Break(breach);
            break;
        case Block::DestinationAddress:
            destinationAddress_.Break(breach);
            break;
        case Block::ReceiveData:
            receiveData_.Break(breach);
            break;
    }
}

HRESULT ProtocolMessage::SetSendData(LONG lSize, BYTE* pMessage) {
    return SetBlock(STACK_OPERATION(ProtocolMessage, SetSendData), lSize, pMessage, sendData_);
}

HRESULT ProtocolMessage::GetSendData(LONG* plSize, BYTE** ppMessage) {
    return GetBlock(STACK_OPERATION(ProtocolMessage, GetSendData), plSize, ppMessage, sendData_);
}

HRESULT ProtocolMessage::SetDestinationAddress(LONG lSize, BYTE* pAddress) {
    return SetBlock(STACK_OPERATION(ProtocolMessage, SetDestinationAddress), lSize, pAddress,
                    destinationAddress_);
}

HRESULT ProtocolMessage::GetDestinationAddress(LONG* plSize, BYTE** ppAddress) {
    return GetBlock(STACK_OPERATION(ProtocolMessage, GetDestinationAddress), plSize, ppAddress,
                    destinationAddress_);
}

HRESULT ProtocolMessage::SetCommandType(LPWSTR prgName) {
    return Perform(
        STACK_OPERATION(ProtocolMessage, SetCommandType), Identity(),
        [&] { return "name=" + NarrowText(prgName); },
        [&] {
            Guard guard(lock_);
            return commandType_.Set(prgName);
        });
}

HRESULT ProtocolMessage::GetCommandType(LPWSTR* pprgName) {
    return Perform(
        STACK_OPERATION(ProtocolMessage, GetCommandType), Identity(), [] { return std::string(); },
        [&] {
            Guard guard(lock_);
            return commandType_.Get(pprgName);
        });
}

HRESULT ProtocolMessage::SetExtraTimeoutValue(LONG lTimeout) {
    return SetNumber(STACK_OPERATION(ProtocolMessage, SetExtraTimeoutValue), "timeout", lTimeout,
                     extraTimeout_);
}

HRESULT ProtocolMessage::GetExtraTimeoutValue(LONG* plTimeout) {
    return GetNumber(STACK_OPERATION(ProtocolMessage, GetExtraTimeoutValue), plTimeout,
                     extraTimeout_);
}

HRESULT ProtocolMessage::SetReceiveData(LONG lSize, BYTE* pMessage) {
    return SetBlock(STACK_OPERATION(ProtocolMessage, SetReceiveData), lSize, pMessage,
                    receiveData_);
}

HRESULT ProtocolMessage::GetReceiveData(LONG* plSize, BYTE** ppMessage) {
    return GetBlock(STACK_OPERATION(ProtocolMessage, GetReceiveData), plSize, ppMessage,
                    receiveData_);
}

}  // namespace stack
