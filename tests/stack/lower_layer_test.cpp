// The lower layer: what it records of a sent message, replies on the caller's thread and on a
// thread of its own reaching the upper layer with the right id, scripted replies, no replies
// after the upper layer went away, and the optional runtime information.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "fake_upper_layer.h"
#include "interfaces/vorn_ids.h"
#include "platform/task_memory.h"
#include "stack/call_tracking.h"
#include "stack/lower_layer.h"
#include "stack/network_message.h"
#include "stack/reply_frames.h"
#include "stack/testing/stack_test.h"

namespace {

using stack::LowerLayer;
using stack::NetworkMessage;
using stack::Reply;
using stack::SentMessage;
using stack_tests::FakeUpperLayer;
using Bytes = std::vector<BYTE>;

constexpr GUID kCookie{0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr ULONG kToken = 5;

class LowerLayerTest : public stack::testing::StackTest {
protected:
    // A network message as the layer would make it.
    static platform::ComPtr<NetworkMessage> Frame(ULONG id, const Bytes& data,
                                                  LONG responseRequire = 1) {
        const stack::UntrackedScope untracked;
        Bytes frame = stack::BuildReplyFrame(0x07, data);
        auto message = NetworkMessage::Create();
        message->SetMessageID(id);
        message->SetRetryState(rm_TIMEOUTONLY);
        message->SetData(static_cast<LONG>(frame.size()), frame.data());
        message->SetTimeoutValue(350);
        message->SetResponseRequire(responseRequire);
        message->SetReset(1);
        return message;
    }

    static bool IsValidFrame(const Bytes& frame) {
        if (frame.size() < stack::kFrameHeaderSize + stack::kFrameChecksumSize) return false;
        const std::uint16_t sum = stack::FrameChecksum({frame.data(), frame.size() - 2});
        return frame[frame.size() - 2] == (sum >> 8) && frame.back() == (sum & 0xFF);
    }

    static Bytes DataOf(const Bytes& frame) {
        return {frame.begin() + stack::kFrameHeaderSize, frame.end() - stack::kFrameChecksumSize};
    }

    // A lower layer that answers upper_ in the given way.
    platform::ComPtr<LowerLayer> ConnectedLowerLayer(stack::ReplyMode mode) {
        auto lower = LowerLayer::Create();
        lower->ConnectUpperLayer(kToken, kCookie, &upper_);
        lower->SetReplyMode(mode);
        return lower;
    }

    FakeUpperLayer upper_;
};

TEST_F(LowerLayerTest, RecordsWhatItWasGivenAndEchoesOnTheCallersThreadBeforeReturning) {
    auto lower = ConnectedLowerLayer(stack::ReplyMode::CallerThread);
    bool returned = false;
    upper_.onReceive = [&] { EXPECT_FALSE(returned) << "delivered inside SendNetworkMessage"; };

    auto message = Frame(42, {0x12, 0x34, 0x56});
    ASSERT_EQ(lower->SendNetworkMessage(kCookie, message.get()), S_OK);
    returned = true;

    const auto sent = lower->Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(sent[0].stackCookie, kCookie));
    EXPECT_EQ(sent[0].messageId, 42u);
    EXPECT_EQ(sent[0].retryState, rm_TIMEOUTONLY);
    EXPECT_EQ(sent[0].dataSize, 18);
    EXPECT_EQ(sent[0].frame, stack::BuildReplyFrame(0x07, Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ(sent[0].timeout, 350);
    EXPECT_EQ(sent[0].responseRequire, 1);
    EXPECT_EQ(sent[0].reset, 1);

    const auto replies = upper_.Replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 42u);
    EXPECT_EQ(replies[0].thread, std::this_thread::get_id());
    ASSERT_TRUE(replies[0].data.has_value());
    EXPECT_TRUE(IsValidFrame(*replies[0].data));
    EXPECT_EQ((*replies[0].data)[12], 0x07) << "same sequence id";
    EXPECT_EQ(DataOf(*replies[0].data), (Bytes{0x12, 0x34, 0x56}));

    // A message that wants no response gets none from the echo; the read-back is not recorded.
    auto unanswered = Frame(43, {}, 0);
    ASSERT_EQ(lower->SendNetworkMessage(kCookie, unanswered.get()), S_OK);
    EXPECT_EQ(upper_.Replies().size(), 1u);
    EXPECT_EQ(env().Log().Count("NetworkMessage::GetTimeoutValue"), 0u);
    message = nullptr;
    unanswered = nullptr;
    lower = nullptr;
    ExpectAllReleased();
}

TEST_F(LowerLayerTest, RepliesFromItsOwnThreadCanCreateMessagesThere) {
    auto lower = ConnectedLowerLayer(stack::ReplyMode::WorkerThread);
    std::vector<HRESULT> created;
    upper_.onReceive = [&] {
        // As the layer does on this thread: create the reply for the layer above.
        for (DWORD context : {DWORD{CLSCTX_ALL}, DWORD{CLSCTX_INPROC}}) {
            platform::ComPtr<IVELDO_ProtocolMessage> reply;
            created.push_back(CoCreateInstance(CLSID_ProtocolMessage, nullptr, context,
                                               IID_IVELDO_ProtocolMessage, reply.put_void()));
        }
    };

    auto message = Frame(7, {0x01});
    ASSERT_EQ(lower->SendNetworkMessage(kCookie, message.get()), S_OK);
    message = nullptr;  // the lower layer keeps its own reference until it has answered
    ASSERT_TRUE(lower->WaitIdle());

    const auto replies = upper_.Replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 7u);
    EXPECT_NE(replies[0].thread, std::this_thread::get_id());
    EXPECT_EQ(created, (std::vector<HRESULT>{S_OK, S_OK}));
    EXPECT_EQ(env().Census().Live(stack::StandInClass::NetworkMessage), 0);
    lower = nullptr;
    ExpectAllReleased();
}

TEST_F(LowerLayerTest, ScriptedRepliesArriveAsScriptedInOrder) {
    const Bytes good = stack::BuildReplyFrame(3, Bytes{0xA0, 0xA1});
    Bytes badSum = good;
    badSum.back() ^= 0x01;
    auto lower = ConnectedLowerLayer(stack::ReplyMode::CallerThread);
    lower->SetReplyScript([&](const SentMessage& sent) -> std::vector<Reply> {
        if (sent.messageId == 1) return {};
        return {{sent.messageId, good, std::nullopt},
                {sent.messageId, badSum, std::nullopt},
                {99, std::nullopt, std::nullopt},
                {sent.messageId, Bytes{0xAB, 0x00, 0x0C}, std::nullopt},
                {sent.messageId, good, stack::OutputBreach{-1, false}}};
    });

    auto silent = Frame(1, {});
    auto answered = Frame(2, {});
    ASSERT_EQ(lower->SendNetworkMessage(kCookie, silent.get()), S_OK);
    ASSERT_EQ(lower->SendNetworkMessage(kCookie, answered.get()), S_OK);

    const auto replies = upper_.Replies();
    ASSERT_EQ(replies.size(), 5u);
    EXPECT_EQ(replies[0].data, good);
    EXPECT_EQ(replies[1].data, badSum);
    EXPECT_EQ(replies[2].messageId, 99u);
    EXPECT_FALSE(replies[2].data.has_value());
    EXPECT_EQ(replies[3].data, (Bytes{0xAB, 0x00, 0x0C}));
    EXPECT_FALSE(replies[4].data.has_value()) << "a negative size, as scripted";
    EXPECT_EQ(lower->RepliesDelivered(), 5u);

    // A reply goes only to the layer registered with the message's stack cookie.
    constexpr GUID kOther{0x99, 0, 0, {0}};
    ASSERT_EQ(lower->SendNetworkMessage(kOther, answered.get()), S_OK);
    EXPECT_EQ(upper_.Replies().size(), 5u);
    silent = nullptr;
    answered = nullptr;
    lower = nullptr;
    ExpectAllReleased();
}

TEST_F(LowerLayerTest, NoReplyReachesAnUpperLayerAfterItWasDisconnected) {
    auto lower = ConnectedLowerLayer(stack::ReplyMode::WorkerThread);
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    bool first = true;
    upper_.onReceive = [&] {
        if (!first) return;
        first = false;
        entered.set_value();
        released.wait();
    };

    auto a = Frame(1, {});
    auto b = Frame(2, {});
    ASSERT_EQ(lower->SendNetworkMessage(kCookie, a.get()), S_OK);
    entered.get_future().wait();  // the first reply is being delivered...
    ASSERT_EQ(lower->SendNetworkMessage(kCookie, b.get()), S_OK);
    EXPECT_EQ(lower->QueuedReplies(), 1u);  // ...and the second waits
    auto releaser = std::async(std::launch::async, [&] {
        // The deadline only guards against a hang: a reply left queued fails the test below.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (lower->QueuedReplies() != 0 && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::yield();
        }
        release.set_value();
    });
    lower->DisconnectUpperLayer(kToken);  // drops the queued reply, waits for the running one
    releaser.get();
    ASSERT_TRUE(lower->WaitIdle());

    const auto replies = upper_.Replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 1u);
    a = nullptr;
    b = nullptr;
    lower = nullptr;
    ExpectAllReleased();
}

TEST_F(LowerLayerTest, RuntimeInformationIsAnsweredOnlyWhenOfferedAndIsRecorded) {
    auto lower = LowerLayer::Create();
    platform::ComPtr<IVELDO_RuntimeInformation> runtime;
    EXPECT_EQ(lower.query_to(&runtime), E_NOINTERFACE);

    lower->OfferRuntimeInformation(true);
    lower->SetRuntimeInformationText(platform::WideString(WIDE("[NET]\r\nBAUD=9600\r\n")));
    lower->SetValidityAnswer(0, S_FALSE);
    ASSERT_EQ(lower.query_to(&runtime), S_OK);

    platform::TaskMem<WCHAR> text;
    ASSERT_EQ(runtime->GetRuntimeInformation(text.put()), S_OK);
    EXPECT_EQ(platform::WideView(text.get()),
              platform::WideStringView(WIDE("[NET]\r\nBAUD=9600\r\n")));
    platform::WideString config = WIDE("[NET]\r\nTMO=5\r\n");
    LONG valid = 1;
    EXPECT_EQ(runtime->IsValidRuntimeConfiguration(config.data(), &valid), S_FALSE);
    EXPECT_EQ(valid, 0);
    EXPECT_EQ(runtime->ChangeRuntimeInformation(nullptr), S_OK);
    env().FailOnCall("LowerLayer::ChangeRuntimeInformation", 1, E_ACCESSDENIED);
    EXPECT_EQ(runtime->ChangeRuntimeInformation(config.data()), E_ACCESSDENIED);

    EXPECT_EQ(lower->ValidatedTexts(), (std::vector<std::optional<platform::WideString>>{config}));
    EXPECT_EQ(lower->ChangedTexts(),
              (std::vector<std::optional<platform::WideString>>{std::nullopt}))
        << "the failed call records nothing";
    EXPECT_EQ(env().Log().Calls("LowerLayer::IsValidRuntimeConfiguration")[0].arguments,
              "config=[NET]??TMO=5??");
    text.reset();
    runtime = nullptr;
    lower = nullptr;
    ExpectAllReleased();
}

}  // namespace
