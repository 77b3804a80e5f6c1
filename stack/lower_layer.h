// The layer below (IVELDO_NetworkComms, optionally IVELDO_RuntimeInformation): records what it
// is given and answers frames with scripted replies.
//
//   auto lower = stack::LowerLayer::Create();
//   lower->SetReplyMode(stack::ReplyMode::WorkerThread);   // or CallerThread; default None
//   lower->SetReplyScript([](const stack::SentMessage& sent) {
//       return std::vector<stack::Reply>{{sent.messageId, std::vector<BYTE>{1, 2, 3}}};
//   });
//   ... lower->WaitIdle(); lower->Sent()[0].frame ...
//
// SendNetworkMessage reads the message back through its getters (untracked: neither recorded
// nor fault-counted) into a SentMessage, holds a reference to it until its replies are done,
// and delivers each reply as a new network message carrying the reply's id to the Receive of
// the upper layer registered with the same stack cookie (the latest one if several are).
// Reply messages are made directly, not through CoCreateInstance, so that creation faults and
// class registration concern only the layer's own messages.
// CallerThread delivers inside SendNetworkMessage, before it returns; WorkerThread on a thread
// of the lower layer's own (initialised for the multithreaded apartment). The default script
// is EchoReply. Unregistering an upper layer drops its queued replies and waits for the one
// being delivered, so no reply reaches a layer after UnregisterLayer returned.
//
// The lower layer holds no reference to the device information it is attached to.
// IVELDO_RuntimeInformation is answered only after OfferRuntimeInformation(true): it hands
// out the configured text (default empty), writes the configured verdict (default 1) and
// result (default S_OK), and records the texts it is asked to validate or change.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "interfaces/stack_interfaces.h"
#include "stack/message_block.h"
#include "stack/standin_object.h"

namespace stack {

class ReplyWorker;

enum class ReplyMode { None, CallerThread, WorkerThread };

// What SendNetworkMessage was given, as read back from the message.
struct SentMessage {
    GUID stackCookie{};
    ULONG messageId = 0;
    _tagRetryMethod retryState = rm_NONE;
    LONG dataSize = 0;  // as GetData reported it
    std::vector<BYTE> frame;
    LONG timeout = 0;
    LONG responseRequire = 0;
    LONG reset = 0;
};

struct Reply {
    ULONG messageId = 0;
    std::optional<std::vector<BYTE>> data;  // nullopt: the reply carries no data at all
    std::optional<OutputBreach> breach;     // its GetData breaks the contract on purpose
};

using ReplyScript = std::function<std::vector<Reply>(const SentMessage&)>;

// One reply with the message's id echoing its data (EchoReplyFrame) when the message asks for
// a response (response required exactly 1); none otherwise.
std::vector<Reply> EchoReply(const SentMessage& sent);

class LowerLayer : public ComObject<IVELDO_NetworkComms, IVELDO_RuntimeInformation> {
public:
    static platform::ComPtr<LowerLayer> Create();
    ~LowerLayer() override;

    void SetReplyMode(ReplyMode mode);
    void SetReplyScript(ReplyScript script);  // empty: EchoReply
    // True once every queued reply has been delivered; the timeout only guards against hangs.
    bool WaitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Replies queued on the lower layer's thread and not yet being delivered.
    std::size_t QueuedReplies() const;

    void OfferRuntimeInformation(bool offer);
    void SetRuntimeInformationText(std::optional<platform::WideString> text);
    void SetValidityAnswer(std::optional<LONG> verdict, HRESULT result = S_OK);

    std::vector<SentMessage> Sent() const;
    std::vector<std::optional<platform::WideString>> ValidatedTexts() const;
    std::vector<std::optional<platform::WideString>> ChangedTexts() const;
    std::size_t RepliesDelivered() const;

    // Where replies go. The stack services connect each registration (token: its layer
    // cookie); a test may connect an upper layer directly. Not counted references.
    void ConnectUpperLayer(ULONG token, const GUID& stackCookie, IVELDO_ProtocolComms* upper);
    void DisconnectUpperLayer(ULONG token);

    // IVELDO_NetworkComms
    HRESULT STDMETHODCALLTYPE AttachDevice(IVELDO_DeviceInfo* pInfo) override;
    HRESULT STDMETHODCALLTYPE DetachDevice(IVELDO_DeviceInfo* pInfo) override;
    HRESULT STDMETHODCALLTYPE Disconnect(GUID stackCookie) override;
    HRESULT STDMETHODCALLTYPE SendNetworkMessage(GUID stackCookie,
                                                 IVELDO_NetworkMessage* pMessage) override;
    // IVELDO_RuntimeInformation
    HRESULT STDMETHODCALLTYPE GetRuntimeInformation(LPWSTR* pprgInformation) override;
    HRESULT STDMETHODCALLTYPE IsValidRuntimeConfiguration(LPWSTR prgConfig, LONG* pbValid) override;
    HRESULT STDMETHODCALLTYPE ChangeRuntimeInformation(LPWSTR prgConfig) override;

protected:
    void* FindInterface(REFIID riid) noexcept override;
    void ReleaseHeldResources() noexcept override;

private:
    struct Connection {
        ULONG token;
        GUID stackCookie;
        IVELDO_ProtocolComms* upper;
    };

    LowerLayer();
    template <class T, class... Args>
    friend platform::ComPtr<T> MakeStandIn(Args&&... args);

    void Deliver(IVELDO_ProtocolComms* upper, const std::vector<Reply>& replies);

    mutable std::mutex lock_;
    ReplyMode mode_ = ReplyMode::None;  // guarded by lock_ (and the others below)
    ReplyScript script_;
    std::unique_ptr<ReplyWorker> worker_;  // made when WorkerThread is first chosen
    std::vector<Connection> connections_;
    std::vector<SentMessage> sent_;
    std::size_t repliesDelivered_ = 0;
    bool offersRuntimeInformation_ = false;
    std::optional<platform::WideString> runtimeText_{platform::WideString()};
    std::optional<LONG> verdict_{1};
    HRESULT validityResult_ = S_OK;
    std::vector<std::optional<platform::WideString>> validated_;
    std::vector<std::optional<platform::WideString>> changed_;
};

}  // namespace stack
