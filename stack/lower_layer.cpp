#include "stack/lower_layer.h"

#include <string>
#include <utility>

#include "platform/task_memory.h"
#include "stack/call_tracking.h"
#include "stack/network_message.h"
#include "stack/reply_frames.h"
#include "stack/reply_worker.h"
#include "stack/text_format.h"

namespace stack {
namespace {

using Guard = std::lock_guard<std::mutex>;

std::optional<platform::WideString> CopyText(const WCHAR* text) {
    if (text == nullptr) return std::nullopt;
    return platform::WideString(text);
}

// Reads the message back the way any lower layer would: through its getters.
SentMessage ReadBack(const GUID& stackCookie, IVELDO_NetworkMessage* message) {
    const UntrackedScope untracked;
    SentMessage sent;
    sent.stackCookie = stackCookie;
    message->GetMessageID(&sent.messageId);
    message->GetRetryState(&sent.retryState);
    LONG size = 0;
    platform::TaskMem<BYTE> block;
    if (SUCCEEDED(message->GetData(&size, block.put()))) {
        sent.dataSize = size;
        if (block && size > 0) sent.frame.assign(block.get(), block.get() + size);
    }
    message->GetTimeoutValue(&sent.timeout);
    message->GetResponseRequire(&sent.responseRequire);
    message->GetReset(&sent.reset);
    return sent;
}

platform::ComPtr<NetworkMessage> MakeReplyMessage(const Reply& reply) {
    const UntrackedScope untracked;
    platform::ComPtr<NetworkMessage> message = NetworkMessage::Create();
    message->SetMessageID(reply.messageId);
    if (reply.data) {
        message->SetData(static_cast<LONG>(reply.data->size()),
                         const_cast<BYTE*>(reply.data->data()));
    }
    if (reply.breach) message->BreakOutput(NetworkMessage::Block::Data, reply.breach);
    return message;
}

}  // namespace

std::vector<Reply> EchoReply(const SentMessage& sent) {
    if (sent.responseRequire != 1) return {};
    return {Reply{sent.messageId, EchoReplyFrame(sent.frame), std::nullopt}};
}

LowerLayer::LowerLayer() : ComObject(StandInClass::LowerLayer) {}

LowerLayer::~LowerLayer() = default;

platform::ComPtr<LowerLayer> LowerLayer::Create() {
    return MakeStandIn<LowerLayer>();
}

void LowerLayer::SetReplyMode(ReplyMode mode) {
    Guard guard(lock_);
    mode_ = mode;
    if (mode == ReplyMode::WorkerThread && !worker_) worker_ = std::make_unique<ReplyWorker>();
}

void LowerLayer::SetReplyScript(ReplyScript script) {
    Guard guard(lock_);
    script_ = std::move(script);
}

bool LowerLayer::WaitIdle(std::chrono::milliseconds timeout) {
    ReplyWorker* worker = nullptr;
    {
        Guard guard(lock_);
        worker = worker_.get();
    }
    return worker == nullptr || worker->WaitIdle(timeout);
}

std::size_t LowerLayer::QueuedReplies() const {
    ReplyWorker* worker = nullptr;
    {
        Guard guard(lock_);
        worker = worker_.get();
    }
    return worker == nullptr ? 0 : worker->Queued();
}

void LowerLayer::OfferRuntimeInformation(bool offer) {
    Guard guard(lock_);
    offersRuntimeInformation_ = offer;
}

void LowerLayer::SetRuntimeInformationText(std::optional<platform::WideString> text) {
    Guard guard(lock_);
    runtimeText_ = std::move(text);
}

void LowerLayer::SetValidityAnswer(std::optional<LONG> verdict, HRESULT result) {
    Guard guard(lock_);
    verdict_ = verdict;
    validityResult_ = result;
}

std::vector<SentMessage> LowerLayer::Sent() const {
    Guard guard(lock_);
    return sent_;
}

std::vector<std::optional<platform::WideString>> LowerLayer::ValidatedTexts() const {
    Guard guard(lock_);
    return validated_;
}

std::vector<std::optional<platform::WideString>> LowerLayer::ChangedTexts() const {
    Guard guard(lock_);
    return changed_;
}

std::size_t LowerLayer::RepliesDelivered() const {
    Guard guard(lock_);
    return repliesDelivered_;
}

void LowerLayer::ConnectUpperLayer(ULONG token, const GUID& stackCookie,
                                   IVELDO_ProtocolComms* upper) {
    Guard guard(lock_);
    connections_.push_back({token, stackCookie, upper});
}

void LowerLayer::DisconnectUpperLayer(ULONG token) {
    ReplyWorker* worker = nullptr;
    {
        Guard guard(lock_);
        std::erase_if(connections_, [&](const Connection& c) { return c.token == token; });
        worker = worker_.get();
    }
    // Outside the lock: the reply being delivered may need it to finish.
    if (worker != nullptr) worker->DropOwner(token);
}

void* LowerLayer::FindInterface(REFIID riid) noexcept {
    if (IsEqualIID(riid, IID_IVELDO_RuntimeInformation)) {
        Guard guard(lock_);
        if (!offersRuntimeInformation_) return nullptr;
    }
    return ComObject::FindInterface(riid);
}

void LowerLayer::ReleaseHeldResources() noexcept {
    std::unique_ptr<ReplyWorker> worker;
    {
        Guard guard(lock_);
        worker.swap(worker_);
        connections_.clear();
        script_ = nullptr;
    }
    worker.reset();  // joins the thread outside the lock; queued replies are dropped
}

void LowerLayer::Deliver(IVELDO_ProtocolComms* upper, const std::vector<Reply>& replies) {
    for (const Reply& reply : replies) {
        platform::ComPtr<NetworkMessage> message = MakeReplyMessage(reply);
        upper->Receive(message.get());
        Guard guard(lock_);
        ++repliesDelivered_;
    }
}

HRESULT LowerLayer::AttachDevice(IVELDO_DeviceInfo* pInfo) {
    return Perform(
        STACK_OPERATION(LowerLayer, AttachDevice), Identity(),
        [&] { return "device=" + FormatPointer(pInfo); }, [] { return S_OK; });
}

HRESULT LowerLayer::DetachDevice(IVELDO_DeviceInfo* pInfo) {
    return Perform(
        STACK_OPERATION(LowerLayer, DetachDevice), Identity(),
        [&] { return "device=" + FormatPointer(pInfo); }, [] { return S_OK; });
}

HRESULT LowerLayer::Disconnect(GUID stackCookie) {
    return Perform(
        STACK_OPERATION(LowerLayer, Disconnect), Identity(),
        [&] { return "cookie=" + GuidText(stackCookie); }, [] { return S_OK; });
}

HRESULT LowerLayer::SendNetworkMessage(GUID stackCookie, IVELDO_NetworkMessage* pMessage) {
    return Perform(
        STACK_OPERATION(LowerLayer, SendNetworkMessage), Identity(),
        [&] { return "cookie=" + GuidText(stackCookie) + " message=" + FormatPointer(pMessage); },
        [&] {
            if (pMessage == nullptr) return E_POINTER;
            SentMessage sent = ReadBack(stackCookie, pMessage);
            ReplyMode mode;
            ReplyScript script;
            std::optional<Connection> target;
            {
                Guard guard(lock_);
                sent_.push_back(sent);
                mode = mode_;
                script = script_ ? script_ : ReplyScript(EchoReply);
                for (const Connection& connection : connections_) {
                    if (IsEqualGUID(connection.stackCookie, stackCookie)) target = connection;
                }
                if (mode == ReplyMode::WorkerThread && target) {
                    // The task keeps the message alive, as a lower layer that took it over.
                    platform::ComPtr<IVELDO_NetworkMessage> held(pMessage);
                    worker_->Post(target->token, [this, sent, script, upper = target->upper, held] {
                        Deliver(upper, script(sent));
                    });
                }
            }
            if (mode == ReplyMode::CallerThread && target) Deliver(target->upper, script(sent));
            return S_OK;
        });
}

HRESULT LowerLayer::GetRuntimeInformation(LPWSTR* pprgInformation) {
    return Perform(
        STACK_OPERATION(LowerLayer, GetRuntimeInformation), Identity(),
        [] { return std::string(); },
        [&] {
            if (pprgInformation == nullptr) return E_POINTER;
            Guard guard(lock_);
            *pprgInformation = CopyToTaskMemory(runtimeText_);
            return S_OK;
        });
}

HRESULT LowerLayer::IsValidRuntimeConfiguration(LPWSTR prgConfig, LONG* pbValid) {
    return Perform(
        STACK_OPERATION(LowerLayer, IsValidRuntimeConfiguration), Identity(),
        [&] { return "config=" + NarrowText(prgConfig); },
        [&] {
            if (pbValid == nullptr) return E_POINTER;
            Guard guard(lock_);
            validated_.push_back(CopyText(prgConfig));
            if (verdict_) *pbValid = *verdict_;
            return validityResult_;
        });
}

HRESULT LowerLayer::ChangeRuntimeInformation(LPWSTR prgConfig) {
    return Perform(
        STACK_OPERATION(LowerLayer, ChangeRuntimeInformation), Identity(),
        [&] { return "config=" + NarrowText(prgConfig); },
        [&] {
            Guard guard(lock_);
            changed_.push_back(CopyText(prgConfig));
            return S_OK;
        });
}

}  // namespace stack
