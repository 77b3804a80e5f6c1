// The message sink (IVELDO_MessageSink) that takes replies to the layer above. It records each
// delivery in order: the message id and the receive data, read back with GetMessageID and
// GetReceiveData (untracked), or "no data" when the size is 0 or the block null.
//
//   auto sink = stack::MessageSink::Create();
//   env.SetMessageSink(sink.get());
//   ASSERT_TRUE(sink->WaitForDeliveries(2));   // the timeout only guards against hangs
//   EXPECT_EQ(sink->Deliveries()[0].messageId, 7u);
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "interfaces/stack_interfaces.h"
#include "stack/standin_object.h"

namespace stack {

struct Delivery {
    ULONG messageId = 0;
    std::optional<std::vector<BYTE>> receiveData;  // nullopt: no data
    std::thread::id thread;                        // where DeliverMessage ran
};

class MessageSink : public ComObject<IVELDO_MessageSink> {
public:
    static platform::ComPtr<MessageSink> Create();

    std::vector<Delivery> Deliveries() const;
    // True once at least count deliveries arrived within the timeout.
    bool WaitForDeliveries(std::size_t count,
                           std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;

    HRESULT STDMETHODCALLTYPE DeliverMessage(IVELDO_ProtocolMessage* pMessage) override;

private:
    MessageSink() noexcept : ComObject(StandInClass::MessageSink) {}
    template <class T, class... Args>
    friend platform::ComPtr<T> MakeStandIn(Args&&... args);

    mutable std::mutex lock_;
    mutable std::condition_variable delivered_;
    std::vector<Delivery> deliveries_;  // guarded by lock_
};

}  // namespace stack
