// CVORNProtocol's downward path: a command from the layer above becomes one VORN frame in a new
// network message for the layer below.
#include <cstdint>
#include <cstring>

#include "interfaces/vorn_ids.h"
#include "platform/result_macros.h"
#include "platform/task_memory.h"
#include "protocol/cvorn_protocol.h"
#include "protocol/entry_barrier.h"
#include "protocol/vorn_frame.h"
#include "support/task_memory_copies.h"
#include "trace/zqm_trace.h"

// What Send reads from the command. The blocks are the command's task-memory copies; they are
// freed with the parameters (destination block first), whatever size came with them.
struct CVORNProtocol::SendParameters {
    LONG dataSize = 0;
    platform::TaskMem<BYTE> data;
    LONG destinationSize = 0;
    platform::TaskMem<BYTE> destination;
    LONG extraTimeout = 0;
    LONG responseRequired = 0;
    _tagRetryMethod retryState = rm_BOTH;
    LONG reset = 0;
};

namespace {

// A block that a getter reported: its size must be one that can be read from it.
bool IsReadableBlock(LONG size, const BYTE* block) {
    return size == 0 || (size > 0 && block != nullptr);
}

// TMO plus the command's extra time, wrapping as 32-bit arithmetic does instead of overflowing:
// ChangeRuntimeInformation stores TMO without a range test.
LONG AddTimeouts(LONG tmo, LONG extra) {
    return static_cast<LONG>(static_cast<std::uint32_t>(tmo) + static_cast<std::uint32_t>(extra));
}

}  // namespace

HRESULT CVORNProtocol::Send(IVELDO_ProtocolMessage* pMessage) {
    ZQMTraceDollar("CVORNProtocol::Send() IN\n");
    return protocol::RunInsideEntryBarrier([&] { return SendInternal(pMessage); });
}

CVORNProtocol::FrameSettings CVORNProtocol::SnapshotFrameSettings() {
    platform::CriticalSectionGuard guard(settingsLock);
    return FrameSettings{dna, da1, da2, tmo, frame};
}

HRESULT CVORNProtocol::GetSendParameters(IVELDO_ProtocolMessage* pMessage, LONG frameLimit,
                                         SendParameters& parameters) {
    const auto read = [&]() -> HRESULT {
        RETURN_HR_IF_NULL(E_POINTER, pMessage);
        RETURN_IF_FAILED(pMessage->GetSendData(&parameters.dataSize, parameters.data.put()));
        RETURN_HR_IF(E_FAIL, !IsReadableBlock(parameters.dataSize, parameters.data.get()));
        // FRAME + 2 data bytes at most; the length field caps the frame too, which matters only
        // once a FRAME beyond its valid range was stored at run time.
        RETURN_HR_IF(E_FAIL, std::int64_t{parameters.dataSize} - 2 > frameLimit ||
                                 parameters.dataSize > vorn::kMaxDataForLengthField);
        RETURN_IF_FAILED(pMessage->GetDestinationAddress(&parameters.destinationSize,
                                                         parameters.destination.put()));
        RETURN_HR_IF(E_FAIL, parameters.destinationSize != 0 &&
                                 (parameters.destinationSize != vorn::kDestinationBlockSize ||
                                  parameters.destination.get() == nullptr));
        RETURN_IF_FAILED(pMessage->GetExtraTimeoutValue(&parameters.extraTimeout));
        RETURN_IF_FAILED(pMessage->GetResponseRequire(&parameters.responseRequired));
        RETURN_IF_FAILED(pMessage->GetRetryState(&parameters.retryState));
        return pMessage->GetReset(&parameters.reset);
    };
    const HRESULT hr = read();
    if (FAILED(hr)) {
        parameters.destination.reset();
        parameters.data.reset();
    }
    return hr;
}

HRESULT CVORNProtocol::SendInternal(IVELDO_ProtocolMessage* pMessage) {
    if (!initialised) {
        ZQMTraceError("CVORNProtocol::NOT initialised\n");
        return E_FAIL;
    }
    const FrameSettings settings = SnapshotFrameSettings();
    SendParameters parameters;
    const HRESULT read = GetSendParameters(pMessage, settings.frame, parameters);
    if (FAILED(read)) {
        ZQMTraceError("CVORNProtocol::Send() Fail to get Parameters\n");
        return read;
    }

    const LONG dataSize = parameters.dataSize;
    const LONG frameSize = dataSize + vorn::kFrameOverhead;
    const platform::TaskMem<BYTE> frameBlock(
        static_cast<BYTE*>(CoTaskMemAllocWithThrowError(static_cast<SIZE_T>(frameSize))));
    // The id is used up from here, even if the frame never reaches the lower layer.
    const BYTE sequenceId = sequenceIds->NextId(reinterpret_cast<std::uintptr_t>(lowerLayer));
    const LONG lengthValue = dataSize + vorn::kLengthFieldBias;
    if (parameters.destinationSize == vorn::kDestinationBlockSize) {
        vorn::BuildFrameHeaderWithDestination(
            parameters.responseRequired, lengthValue, settings.dna, settings.da1, settings.da2,
            sequenceId, vorn::DestinationAddressBlock::FromBytes(parameters.destination.get()),
            frameBlock.get());
    } else {
        vorn::BuildFrameHeader(parameters.responseRequired, lengthValue, settings.dna, settings.da1,
                               settings.da2, sequenceId, frameBlock.get());
    }
    if (dataSize > 0) {
        std::memcpy(frameBlock.get() + vorn::kHeaderSize, parameters.data.get(),
                    static_cast<std::size_t>(dataSize));
    }
    vorn::AppendBcc(frameBlock.get(), dataSize + vorn::kHeaderSize);

    platform::ComPtr<IVELDO_NetworkMessage> message;
    RETURN_IF_FAILED(CoCreateInstance(CLSID_NetworkMessage, nullptr, CLSCTX_INPROC,
                                      IID_IVELDO_NetworkMessage, message.put_void()));
    ULONG messageId = 0;
    RETURN_IF_FAILED(pMessage->GetMessageID(&messageId));
    RETURN_IF_FAILED(message->SetMessageID(messageId));
    RETURN_IF_FAILED(message->SetRetryState(parameters.retryState));
    RETURN_IF_FAILED(message->SetData(frameSize, frameBlock.get()));
    const HRESULT timeoutSet =
        message->SetTimeoutValue(AddTimeouts(settings.tmo, parameters.extraTimeout));
    if (FAILED(timeoutSet)) {
        ZQMTraceError("CVORNProtocol::Fail to Set NetworkMessage\n");
        return timeoutSet;
    }
    RETURN_IF_FAILED(message->SetResponseRequire(parameters.responseRequired));
    RETURN_IF_FAILED(message->SetReset(parameters.reset));
    ZQMTraceJO("CVORNProtocol::SendInternal OUT\n");

    // The id is pending before the frame goes down, since the reply may come back on another
    // thread before SendNetworkMessage returns. Only an entry made here is taken back.
    const bool awaitsReply = parameters.responseRequired == 1;
    const bool entered = awaitsReply && pendingRequests.Add(messageId);
    const HRESULT sent = lowerLayer->SendNetworkMessage(stackCookie, message.get());
    if (FAILED(sent) && entered) pendingRequests.Remove(messageId);
    return sent;
}
