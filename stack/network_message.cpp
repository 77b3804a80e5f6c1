#include "stack/network_message.h"

#include "stack/call_tracking.h"

namespace stack {

platform::ComPtr<NetworkMessage> NetworkMessage::Create() {
    return MakeStandIn<NetworkMessage>();
}

void NetworkMessage::BreakOutput(Block block, std::optional<OutputBreach> breach) {
    Guard guard(lock_);
    (block == Block::Data ? data_ : sendOptions_).Break(breach);
}

HRESULT NetworkMessage::SetTimeoutValue(LONG lTimeout) {
    return SetNumber(STACK_OPERATION(NetworkMessage, SetTimeoutValue), "timeout", lTimeout,
                     timeout_);
}

HRESULT NetworkMessage::GetTimeoutValue(LONG* plTimeout) {
    return GetNumber(STACK_OPERATION(NetworkMessage, GetTimeoutValue), plTimeout, timeout_);
}

HRESULT NetworkMessage::SetSendOptions(LONG lDataBytes, BYTE* pData) {
    return SetBlock(STACK_OPERATION(NetworkMessage, SetSendOptions), lDataBytes, pData,
                    sendOptions_);
}

HRESULT NetworkMessage::GetSendOptions(LONG* plDataBytes, BYTE** ppData) {
    return GetBlock(STACK_OPERATION(NetworkMessage, GetSendOptions), plDataBytes, ppData,
                    sendOptions_);
}

}  // namespace stack
