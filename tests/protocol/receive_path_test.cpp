// The receive path: replies matched with pending commands, checked, stripped and delivered
// upward; replies that match nothing, bad frames and every failure on the way.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol_fixture.h"

namespace protocol_tests {
namespace {

const std::string kIn = "CVORNProtocol::Receive() IN\n";
const std::string kInternalIn = "CVORNProtocol::ReceiveInternal() IN\n";
const std::string kOut = "CVORNProtocol::Receive Internal OUT\n";
const std::string kBccError = "ERROR: CVORNProtocol::ReceiveInternal() BCC ERROR\n";

const Bytes kWorkedReply = {0xAB, 0x00, 0x0F, 0x80, 0x00, 0x02, 0x00, 0x05, 0x00,
                            0x00, 0x00, 0x00, 0x07, 0x12, 0x34, 0x56, 0x01, 0xE4};

class ReceivePathTest : public ProtocolTest {
protected:
    // An initialised layer with the id pending and the set-up's log and lines cleared.
    Device DeviceWithPending(ULONG messageId) {
        Device device = InitialisedDevice();
        MakePending(device, messageId);
        env().Log().Clear();
        Lines();
        return device;
    }
};

TEST_F(ReceivePathTest, RepliesAreCheckedStrippedAndDeliveredOnce) {
    struct Case {
        const char* name;
        std::optional<Bytes> reply;
        std::optional<Bytes> delivered;  // nullopt: the id without data
        bool bccError;
    };
    Bytes badBcc(kWorkedReply.begin(), kWorkedReply.end() - 1);
    badBcc.push_back(0xE5);
    const std::vector<Case> cases = {
        {"worked reply", kWorkedReply, Bytes{0x12, 0x34, 0x56}, false},
        {"15-byte frame", stack::BuildReplyFrame(0, {}), std::nullopt, false},
        {"bad BCC", badBcc, std::nullopt, true},
        {"no data", std::nullopt, std::nullopt, false},
        // Too short for a header and a BCC: a bad frame, read no further than its end.
        {"1 byte", Bytes{0xAB}, std::nullopt, true},
        {"2 bytes summing to nothing", Bytes{0x00, 0x00}, std::nullopt, true},
        {"14 bytes", Bytes(kWorkedReply.begin(), kWorkedReply.begin() + 14), std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = DeviceWithPending(7);
        EXPECT_EQ(device.layer->Receive(ReplyMessage(7, c.reply).get()), S_OK);
        ASSERT_EQ(device.sink->Deliveries().size(), 1u);
        EXPECT_EQ(device.sink->Deliveries()[0].messageId, 7u);
        EXPECT_EQ(device.sink->Deliveries()[0].receiveData, c.delivered);
        TraceLines lines = {kIn, kInternalIn};
        if (c.bccError) lines.push_back(kBccError);
        lines.push_back(kOut);
        EXPECT_EQ(Lines(), lines);

        // The entry is used up: a second reply with the id is dropped.
        EXPECT_EQ(device.layer->Receive(ReplyMessage(7, kWorkedReply).get()), S_OK);
        EXPECT_EQ(device.sink->Deliveries().size(), 1u);
        Lines();
        Shutdown(device);
    }
}

// A layer below whose GetData breaks its contract: nothing outside the block is read, no
// negative size goes up, and every block handed over is freed whatever size came with it.
TEST_F(ReceivePathTest, ReplyDataBreakingTheBlockContractGoesUpAsNoData) {
    const std::vector<std::pair<const char*, stack::OutputBreach>> breaches = {
        {"negative size", {-3, false}},
        {"size 0 with a block", {0, false}},
        {"size without a block", {18, true}},
    };
    for (const auto& [name, breach] : breaches) {
        SCOPED_TRACE(name);
        Device device = DeviceWithPending(7);
        auto reply = ReplyMessage(7, kWorkedReply);
        reply->BreakOutput(stack::NetworkMessage::Block::Data, breach);
        EXPECT_EQ(device.layer->Receive(reply.get()), S_OK);
        ASSERT_EQ(device.sink->Deliveries().size(), 1u);
        EXPECT_EQ(device.sink->Deliveries()[0].receiveData, std::nullopt);
        EXPECT_EQ(Lines(), (TraceLines{kIn, kInternalIn, kOut}));
        reply = nullptr;
        Shutdown(device);
    }
}

// Every case answers S_OK to the layer below; the table says what else happened.
TEST_F(ReceivePathTest, EachFailureDropsTheReplyAndStillAnswersSuccess) {
    enum class Arrange { Fault, NotInitialised, NullReply, UnknownId };
    enum class Outcome {
        Ignored,    // the reply is not looked at: its data is not read, the id stays pending
        Dropped,    // the entry is used up, nothing is delivered
        Delivered,  // the reply reaches the sink
    };
    struct Case {
        const char* name;
        Arrange arrange;
        const char* failing;  // the stand-in operation made to fail
        Outcome outcome;
    };
    const std::vector<Case> cases = {
        {"not initialised", Arrange::NotInitialised, nullptr, Outcome::Ignored},
        {"null reply", Arrange::NullReply, nullptr, Outcome::Ignored},
        {"id not pending", Arrange::UnknownId, nullptr, Outcome::Ignored},
        {"GetMessageID fails", Arrange::Fault, "NetworkMessage::GetMessageID", Outcome::Ignored},
        {"GetData fails", Arrange::Fault, "NetworkMessage::GetData", Outcome::Dropped},
        {"message creation fails", Arrange::Fault, "ProtocolMessage::Create", Outcome::Dropped},
        {"SetMessageID fails", Arrange::Fault, "ProtocolMessage::SetMessageID", Outcome::Dropped},
        {"SetReceiveData fails", Arrange::Fault, "ProtocolMessage::SetReceiveData",
         Outcome::Dropped},
        {"GetMessageSink fails", Arrange::Fault, "StackServices::GetMessageSink", Outcome::Dropped},
        {"DeliverMessage fails", Arrange::Fault, "MessageSink::DeliverMessage", Outcome::Delivered},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = DeviceWithPending(7);
        auto reply = ReplyMessage(c.arrange == Arrange::UnknownId ? 8 : 7, kWorkedReply);
        // UnInitialise drops the pending id; it is entered again below.
        if (c.arrange == Arrange::NotInitialised) device.layer->UnInitialise();
        env().Log().Clear();
        if (c.failing != nullptr) env().FailOnCall(c.failing, 1, E_ACCESSDENIED);

        EXPECT_EQ(device.layer->Receive(c.arrange == Arrange::NullReply ? nullptr : reply.get()),
                  S_OK);
        TraceLines lines = {kIn, kInternalIn};
        if (c.failing != nullptr &&
            std::string_view(c.failing) == "StackServices::GetMessageSink") {
            lines.push_back("ERROR: CVORNProtocol::Fail to Set ProtocolMessage ID\n");
        }
        if (c.outcome == Outcome::Delivered) lines.push_back(kOut);
        EXPECT_EQ(Lines(), lines);
        EXPECT_EQ(env().Log().Count("NetworkMessage::GetData"),
                  c.outcome == Outcome::Ignored ? 0u : 1u);
        EXPECT_EQ(env().Log().Count("MessageSink::DeliverMessage"),
                  c.outcome == Outcome::Delivered ? 1u : 0u);

        if (c.arrange == Arrange::NotInitialised) {
            ASSERT_EQ(device.layer->Initialise(device.info.get()), S_OK);
            MakePending(device, 7);
        }
        const std::size_t before = env().Log().Count("MessageSink::DeliverMessage");
        EXPECT_EQ(device.layer->Receive(ReplyMessage(7, kWorkedReply).get()), S_OK);
        EXPECT_EQ(env().Log().Count("MessageSink::DeliverMessage") > before,
                  c.outcome == Outcome::Ignored)
            << "still pending";
        reply = nullptr;
        Lines();
        Shutdown(device);
    }
}

}  // namespace
}  // namespace protocol_tests
