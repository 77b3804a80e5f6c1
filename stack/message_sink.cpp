#include "stack/message_sink.h"

#include "platform/task_memory.h"
#include "stack/call_tracking.h"
#include "stack/text_format.h"

namespace stack {

platform::ComPtr<MessageSink> MessageSink::Create() {
    return MakeStandIn<MessageSink>();
}

std::vector<Delivery> MessageSink::Deliveries() const {
    std::lock_guard<std::mutex> guard(lock_);
    return deliveries_;
}

bool MessageSink::WaitForDeliveries(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(lock_);
    return delivered_.wait_for(lock, timeout, [&] { return deliveries_.size() >= count; });
}

HRESULT MessageSink::DeliverMessage(IVELDO_ProtocolMessage* pMessage) {
    return Perform(
        STACK_OPERATION(MessageSink, DeliverMessage), Identity(),
        [&] { return "message=" + FormatPointer(pMessage); },
        [&] {
            if (pMessage == nullptr) return E_POINTER;
            Delivery delivery;
            delivery.thread = std::this_thread::get_id();
            {
                const UntrackedScope untracked;
                pMessage->GetMessageID(&delivery.messageId);
                LONG size = 0;
                platform::TaskMem<BYTE> block;
                if (SUCCEEDED(pMessage->GetReceiveData(&size, block.put())) && block && size > 0) {
                    delivery.receiveData.emplace(block.get(), block.get() + size);
                }
            }
            {
                std::lock_guard<std::mutex> guard(lock_);
                deliveries_.push_back(std::move(delivery));
            }
            delivered_.notify_all();
            return S_OK;
        });
}

}  // namespace stack
