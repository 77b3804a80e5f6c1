// The network-message class (CLSID_NetworkMessage): a frame travelling between a layer and the
// layer below. Every operation of IVELDO_NetworkMessage and its base works, with the memory
// rules of message_block.h and the start values of message_base.h (plus: no send options,
// timeout 0).
#pragma once

#include <optional>

#include "stack/message_base.h"

namespace stack {

class NetworkMessage : public MessageBase<IVELDO_NetworkMessage, StandInClass::NetworkMessage> {
public:
    enum class Block { Data, SendOptions };

    static platform::ComPtr<NetworkMessage> Create();

    // Scripting: a contract-breaking getter output; nullopt restores the honest one.
    void BreakOutput(Block block, std::optional<OutputBreach> breach);

    HRESULT STDMETHODCALLTYPE SetTimeoutValue(LONG lTimeout) override;
    HRESULT STDMETHODCALLTYPE GetTimeoutValue(LONG* plTimeout) override;
    HRESULT STDMETHODCALLTYPE SetSendOptions(LONG lDataBytes, BYTE* pData) override;
    HRESULT STDMETHODCALLTYPE GetSendOptions(LONG* plDataBytes, BYTE** ppData) override;

private:
    NetworkMessage() noexcept = default;
    template <class T, class... Args>
    friend platform::ComPtr<T> MakeStandIn(Args&&... args);

    MessageBlock sendOptions_;  // guarded by lock_, as is the field below
    LONG timeout_ = 0;
};

}  // namespace stack
