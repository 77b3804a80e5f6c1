// CVORNProtocol's upward path: a reply from the layer below is matched with its pending command,
// checked, stripped of its frame and delivered to the layer above. Whatever goes wrong here is
// this layer's to report, through the trace: the layer below is told S_OK.
#include "interfaces/vorn_ids.h"
#include "platform/task_memory.h"
#include "protocol/cvorn_protocol.h"
#include "protocol/entry_barrier.h"
#include "protocol/vorn_frame.h"
#include "trace/zqm_trace.h"

HRESULT CVORNProtocol::Receive(IVELDO_NetworkMessage* pMessage) {
    ZQMTraceJO("CVORNProtocol::Receive() IN\n");
    return protocol::RunInsideEntryBarrier([&] { return ReceiveInternal(pMessage); });
}

HRESULT CVORNProtocol::ReceiveInternal(IVELDO_NetworkMessage* pMessage) {
    ZQMTraceDollar("CVORNProtocol::ReceiveInternal() IN\n");
    if (!initialised || pMessage == nullptr) return S_OK;
    ULONG messageId = 0;
    if (FAILED(pMessage->GetMessageID(&messageId))) return S_OK;
    // Matched and taken out in one step, so of two replies with one id only one goes on; the
    // entry is used up whatever happens to the reply from here.
    if (!pendingRequests.Remove(messageId)) return S_OK;

    LONG size = 0;
    platform::TaskMem<BYTE> data;  // freed whatever size came with it
    if (FAILED(pMessage->GetData(&size, data.put()))) return S_OK;
    platform::ComPtr<IVELDO_ProtocolMessage> reply;
    if (FAILED(CoCreateInstance(CLSID_ProtocolMessage, nullptr, CLSCTX_INPROC,
                                IID_IVELDO_ProtocolMessage, reply.put_void()))) {
        return S_OK;
    }
    if (FAILED(reply->SetMessageID(messageId))) return S_OK;

    // A block too short for header and BCC counts as a bad frame: nothing outside it is read.
    HRESULT dataSet = S_OK;
    if (data.get() == nullptr || size <= 0) {
        dataSet = reply->SetReceiveData(0, nullptr);
    } else if (const auto payload = vorn::StripFrame(data.get(), size)) {
        const LONG payloadSize = static_cast<LONG>(payload->size());
        dataSet = reply->SetReceiveData(payloadSize,
                                        payloadSize > 0 ? data.get() + vorn::kHeaderSize : nullptr);
    } else {
        ZQMTraceError("CVORNProtocol::ReceiveInternal() BCC ERROR\n");
        dataSet = reply->SetReceiveData(0, nullptr);
    }
    if (FAILED(dataSet)) return S_OK;

    platform::ComPtr<IVELDO_MessageSink> sink;
    const HRESULT sinkFound =
        stackServices->GetMessageSink(layerCookie, IID_IVELDO_MessageSink, sink.put_void());
    if (FAILED(sinkFound) || !sink) {
        ZQMTraceError("CVORNProtocol::Fail to Set ProtocolMessage ID\n");
        return S_OK;
    }
    ZQMTraceJO("CVORNProtocol::Receive Internal OUT\n");
    sink->DeliverMessage(reply.get());
    return S_OK;
}
