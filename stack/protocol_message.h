// The protocol-message class (CLSID_ProtocolMessage): a command from the layer above, and the
// reply that goes back up. Every operation of IVELDO_ProtocolMessage and its base works, with
// the memory rules of message_block.h and the start values of message_base.h (plus: no send
// data, destination address, receive data or command type; extra timeout 0).
//
//   stack::CommandSpec spec;
//   spec.messageId = 7;
//   spec.sendData = {0x12, 0x34};
//   auto command = stack::ProtocolMessage::CreateCommand(spec);
//   command->BreakOutput(stack::ProtocolMessage::Block::DestinationAddress,
//                        stack::OutputBreach{24, true});   // size 24, no block
//   command->SkipRetryStateOutput(true);
#pragma once

#include <optional>
#include <vector>

#include "stack/message_base.h"

namespace stack {

// What a test usually puts into a command; CreateCommand sets it without recording calls.
struct CommandSpec {
    ULONG messageId = 0;
    std::vector<BYTE> sendData;
    std::optional<std::vector<BYTE>> destinationAddress;
    LONG extraTimeout = 0;
    LONG responseRequire = 1;
    LONG reset = 0;
    _tagRetryMethod retryState = rm_NONE;
};

class ProtocolMessage : public MessageBase<IVELDO_ProtocolMessage, StandInClass::ProtocolMessage> {
public:
    enum class Block { Data, SendData, DestinationAddress, ReceiveData };

    static platform::ComPtr<ProtocolMessage> Create();
    static platform::ComPtr<ProtocolMessage> CreateCommand(const CommandSpec& spec);

    // Scripting: a contract-breaking getter output; nullopt restores the honest one.
    void BreakOutput(Block block, std::optional<OutputBreach> breach);

    HRESULT STDMETHODCALLTYPE SetSendData(LONG lSize, BYTE* pMessage) override;
    HRESULT STDMETHODCALLTYPE GetSendData(LONG* plSize, BYTE** ppMessage) override;
    HRESULT STDMETHODCALLTYPE SetDestinationAddress(LONG lSize, BYTE* pAddress) override;
    HRESULT STDMETHODCALLTYPE GetDestinationAddress(LONG* plSize, BYTE** ppAddress) override;
    HRESULT STDMETHODCALLTYPE SetCommandType(LPWSTR prgName) override;
    HRESULT STDMETHODCALLTYPE GetCommandType(LPWSTR* pprgName) override;
    HRESULT STDMETHODCALLTYPE SetExtraTimeoutValue(LONG lTimeout) override;
    HRESULT STDMETHODCALLTYPE GetExtraTimeoutValue(LONG* plTimeout) override;
    HRESULT STDMETHODCALLTYPE SetReceiveData(LONG lSize, BYTE* pMessage) override;
    HRESULT STDMETHODCALLTYPE GetReceiveData(LONG* plSize, BYTE** ppMessage) override;

private:
    ProtocolMessage() noexcept = default;
    template <class T, class... Args>
    friend platform::ComPtr<T> MakeStandIn(Args&&... args);

    MessageBlock sendData_;  // guarded by lock_, as are the fields below
    MessageBlock destinationAddress_;
    MessageBlock receiveData_;
    MessageText commandType_;
    LONG extraTimeout_ = 0;
};

}  // namespace stack
