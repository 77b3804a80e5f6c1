// The send path: frames going down with their network messages, the pending-request entries
// that Send makes, the size limits, contract-breaking commands, and every failure on the way.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "allocation_failure.h"
#include "platform/task_memory_audit.h"
#include "platform/text.h"
#include "protocol_fixture.h"

namespace protocol_tests {
namespace {

// Zero address bytes, TMO 0, FRAME 1004.
const WCHAR* const kZeroAddressText =
    WIDE("[NET]\r\nTMO=0\r\nFRAME=1004\r\nNET=LINE1\r\n[DRVR]\r\nPORT=COM1\r\n");

const std::vector<std::string> kSendCalls = {"ProtocolMessage::GetSendData",
                                             "ProtocolMessage::GetDestinationAddress",
                                             "ProtocolMessage::GetExtraTimeoutValue",
                                             "ProtocolMessage::GetResponseRequire",
                                             "ProtocolMessage::GetRetryState",
                                             "ProtocolMessage::GetReset",
                                             "NetworkMessage::Create",
                                             "ProtocolMessage::GetMessageID",
                                             "NetworkMessage::SetMessageID",
                                             "NetworkMessage::SetRetryState",
                                             "NetworkMessage::SetData",
                                             "NetworkMessage::SetTimeoutValue",
                                             "NetworkMessage::SetResponseRequire",
                                             "NetworkMessage::SetReset",
                                             "LowerLayer::SendNetworkMessage"};
const std::size_t kFirstCallAfterHeader = 6;  // NetworkMessage::Create

// A destination block: flag and value for DNA, DA1 and DA2, little-endian.
Bytes DestinationBlock(std::vector<LONG> fields) {
    Bytes block;
    for (LONG field : fields) {
        const auto value = static_cast<unsigned long>(field);
        for (int shift = 0; shift < 32; shift += 8) {
            block.push_back(static_cast<BYTE>((value >> shift) & 0xFF));
        }
    }
    return block;
}

// The frame the layer should build, made without the layer's codec.
Bytes ExpectedFrame(BYTE flag, BYTE dna, BYTE da1, BYTE da2, BYTE sequenceId, const Bytes& data) {
    return stack::BuildReplyFrame(stack::ReplyHeader{flag, dna, da1, da2, sequenceId}, data);
}

stack::CommandSpec Spec(ULONG messageId, LONG responseRequire, const Bytes& data = {}) {
    stack::CommandSpec spec;
    spec.messageId = messageId;
    spec.responseRequire = responseRequire;
    spec.sendData = data;
    return spec;
}

class SendPathTest : public ProtocolTest {
protected:
    // True when a reply with the id reaches the sink, that is when the id was pending.
    bool WasPending(Device& device, ULONG messageId) {
        const std::size_t before = device.sink->Deliveries().size();
        device.layer->Receive(ReplyMessage(messageId, std::nullopt).get());
        return device.sink->Deliveries().size() > before;
    }

    // The sequence id of the next frame that reaches the lower layer.
    BYTE NextSequenceId(Device& device) {
        const std::size_t before = device.lower->Sent().size();
        EXPECT_EQ(device.layer->Send(Command(999, 0).get()), S_OK);
        const auto sent = device.lower->Sent();
        return sent.size() > before ? sent.back().frame.at(12) : BYTE{0xEE};
    }
};

TEST_F(SendPathTest, FramesCarryTheSettingsTheSequenceIdAndTheData) {
    struct Case {
        const char* name;
        const WCHAR* text;
        int framesBefore;
        stack::CommandSpec command;
        Bytes frame;
    };
    const Bytes data = {0x12, 0x34, 0x56};
    auto withDestination = [&](std::vector<LONG> fields) {
        stack::CommandSpec spec = Spec(1, 1, data);
        spec.destinationAddress = DestinationBlock(std::move(fields));
        return spec;
    };
    const std::vector<Case> cases = {
        {"worked frame",
         kDeviceText,
         7,
         Spec(1, 1, data),
         {0xAB, 0x00, 0x0F, 0x80, 0x00, 0x02, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x07, 0x12, 0x34,
          0x56, 0x01, 0xE4}},
        {"no data, no response",
         kZeroAddressText,
         0,
         Spec(1, 0),
         {0xAB, 0x00, 0x0C, 0x81, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
          0x3A}},
        {"response -1 is none", kDeviceText, 0, Spec(1, -1, data),
         ExpectedFrame(0x81, 0, 5, 0, 0, data)},
        {"destination flags 1, 0, 1", kDeviceText, 0, withDestination({1, 0x1FF, 0, 9, 1, 0x22}),
         ExpectedFrame(0x80, 0xFF, 5, 0x22, 0, data)},
        {"destination flags 2 and -1", kDeviceText, 0,
         withDestination({2, 0x11, -1, 0x12, 0, 0x13}), ExpectedFrame(0x80, 0, 5, 0, 0, data)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = InitialisedDevice(c.text);
        for (int i = 0; i < c.framesBefore; ++i) device.layer->Send(Command(100, 0).get());
        EXPECT_EQ(device.layer->Send(Command(c.command).get()), S_OK);
        ASSERT_EQ(device.lower->Sent().size(), static_cast<std::size_t>(c.framesBefore) + 1);
        const stack::SentMessage sent = device.lower->Sent().back();
        EXPECT_EQ(sent.frame, c.frame);
        EXPECT_EQ(sent.dataSize, static_cast<LONG>(c.frame.size()));
        EXPECT_EQ(sent.stackCookie, stack::kDefaultStackCookie);
        Lines();
        Shutdown(device);
    }
}

TEST_F(SendPathTest, NetworkMessageCarriesTheCommandsValues) {
    Device device = InitialisedDevice();  // TMO 300
    stack::CommandSpec spec = Spec(0x12345678, -1);
    spec.extraTimeout = 50;
    spec.retryState = rm_TIMEOUTONLY;
    spec.reset = 1;
    EXPECT_EQ(device.layer->Send(Command(spec).get()), S_OK);

    // A command whose GetRetryState succeeds without an answer: rm_BOTH goes on.
    auto silent = Command(7, 0);
    silent->SkipRetryStateOutput(true);
    EXPECT_EQ(device.layer->Send(silent.get()), S_OK);

    // A TMO stored at run time without a range test: the sum wraps instead of overflowing.
    ComPtr<IVELDO_RuntimeInformation> runtime;
    ASSERT_EQ(device.layer.query_to(&runtime), S_OK);
    platform::WideString largest(WIDE("[NET]\r\nTMO=2147483647\r\n"));
    runtime->ChangeRuntimeInformation(largest.data());
    stack::CommandSpec late = Spec(8, 0);
    late.extraTimeout = 1;
    EXPECT_EQ(device.layer->Send(Command(late).get()), S_OK);

    const auto sent = device.lower->Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].timeout, std::numeric_limits<LONG>::min());
    EXPECT_EQ(sent[0].messageId, 0x12345678u);
    EXPECT_EQ(sent[0].timeout, 350);
    EXPECT_EQ(sent[0].retryState, rm_TIMEOUTONLY);
    EXPECT_EQ(sent[0].reset, 1);
    EXPECT_EQ(sent[0].responseRequire, -1);
    EXPECT_EQ(sent[1].retryState, rm_BOTH);
    EXPECT_EQ(sent[1].timeout, 300);
    EXPECT_EQ(Lines(),
              (TraceLines{"CVORNProtocol::Send() IN\n", "CVORNProtocol::SendInternal OUT\n",
                          "CVORNProtocol::Send() IN\n", "CVORNProtocol::SendInternal OUT\n",
                          "CVORNProtocol::ChangeRuntimeInformation()\n",
                          "CVORNProtocol::Send() IN\n", "CVORNProtocol::SendInternal OUT\n"}));
    silent = nullptr;
    runtime = nullptr;
    Shutdown(device);
}

// Only a command that wants a reply and that the lower layer took is left pending.
TEST_F(SendPathTest, PendingEntryFollowsResponseRequiredAndTheHandOver) {
    struct Case {
        const char* name;
        LONG responseRequire;
        std::optional<HRESULT> lowerFails;
        std::optional<HRESULT> lowerReturns;
        HRESULT result;
        bool pending;
    };
    const std::vector<Case> cases = {
        {"response required", 1, {}, {}, S_OK, true},
        {"no response", 0, {}, {}, S_OK, false},
        {"response -1", -1, {}, {}, S_OK, false},
        {"response 2", 2, {}, {}, S_OK, false},
        {"lower layer says S_FALSE", 1, {}, S_FALSE, S_FALSE, true},
        {"lower layer refuses", 1, E_ACCESSDENIED, {}, E_ACCESSDENIED, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = InitialisedDevice();
        if (c.lowerFails) env().FailOnCall("LowerLayer::SendNetworkMessage", 1, *c.lowerFails);
        if (c.lowerReturns)
            env().ReturnOnCall("LowerLayer::SendNetworkMessage", 1, *c.lowerReturns);
        EXPECT_EQ(device.layer->Send(Command(42, c.responseRequire).get()), c.result);
        EXPECT_EQ(Lines(),
                  (TraceLines{"CVORNProtocol::Send() IN\n", "CVORNProtocol::SendInternal OUT\n"}));
        EXPECT_EQ(WasPending(device, 42), c.pending);
        Lines();
        Shutdown(device);
    }
}

TEST_F(SendPathTest, AnIdIsPendingOnceAndStaysWhenALaterSendOfItFails) {
    Device device = InitialisedDevice();
    EXPECT_EQ(device.layer->Send(Command(9).get()), S_OK);
    EXPECT_EQ(device.layer->Send(Command(9).get()), S_OK);
    env().FailOnCall("LowerLayer::SendNetworkMessage", 1, E_ACCESSDENIED);
    EXPECT_EQ(device.layer->Send(Command(9).get()), E_ACCESSDENIED);
    EXPECT_TRUE(WasPending(device, 9));
    EXPECT_FALSE(WasPending(device, 9));
    Lines();
    Shutdown(device);
}

// The lower layer may answer before SendNetworkMessage returns: the id is pending by then.
TEST_F(SendPathTest, ReplyDeliveredBeforeTheHandOverReturnsIsMatched) {
    Device device = InitialisedDevice(kDeviceText, stack::ReplyMode::CallerThread);
    EXPECT_EQ(device.layer->Send(Command(3, 1, {0xAA, 0xBB}).get()), S_OK);
    ASSERT_EQ(device.sink->Deliveries().size(), 1u);
    EXPECT_EQ(device.sink->Deliveries()[0].messageId, 3u);
    EXPECT_EQ(device.sink->Deliveries()[0].receiveData, (Bytes{0xAA, 0xBB}));
    EXPECT_FALSE(WasPending(device, 3));
    Lines();
    Shutdown(device);
}

TEST_F(SendPathTest, DataSizeIsBoundByFrameAndByTheLengthField) {
    struct Case {
        const char* name;
        const char* change;  // runtime change of FRAME
        std::size_t dataSize;
        HRESULT result;
    };
    const std::vector<Case> cases = {
        {"FRAME 1004, 1006 bytes", "", 1006, S_OK},
        {"FRAME 1004, 1007 bytes", "", 1007, E_FAIL},
        {"FRAME 0, no data", "[NET]\r\nFRAME=0\r\n", 0, S_OK},
        {"FRAME 0, 2 bytes", "[NET]\r\nFRAME=0\r\n", 2, S_OK},
        {"FRAME 0, 3 bytes", "[NET]\r\nFRAME=0\r\n", 3, E_FAIL},
        // Only a FRAME stored at run time beyond its range reaches the length field's limit.
        {"FRAME 70000, 65523 bytes", "[NET]\r\nFRAME=70000\r\n", 65523, S_OK},
        {"FRAME 70000, 65524 bytes", "[NET]\r\nFRAME=70000\r\n", 65524, E_FAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = InitialisedDevice();
        ComPtr<IVELDO_RuntimeInformation> runtime;
        ASSERT_EQ(device.layer.query_to(&runtime), S_OK);
        platform::WideString change = platform::AnsiToWide(c.change);
        runtime->ChangeRuntimeInformation(change.data());
        Lines();
        env().Log().Clear();

        EXPECT_EQ(device.layer->Send(Command(1, 1, Bytes(c.dataSize, 0x5A)).get()), c.result);
        if (c.result == S_OK) {
            ASSERT_EQ(device.lower->Sent().size(), 1u);
            const Bytes frame = device.lower->Sent()[0].frame;
            ASSERT_EQ(frame.size(), c.dataSize + 15);
            EXPECT_EQ(frame[1] * 256 + frame[2], static_cast<int>(c.dataSize + 12));
        } else {
            EXPECT_EQ(Lines(),
                      (TraceLines{"CVORNProtocol::Send() IN\n",
                                  "ERROR: CVORNProtocol::Send() Fail to get Parameters\n"}));
            // Refused before the destination block is asked for.
            EXPECT_EQ(env().Log().Operations("ProtocolMessage"),
                      (std::vector<std::string>{"ProtocolMessage::GetSendData"}));
            EXPECT_TRUE(device.lower->Sent().empty());
        }
        runtime = nullptr;
        Lines();
        Shutdown(device);
    }
}

// Getters that break their contract: nothing is read outside a block, every block handed out
// is freed, and a block of size 0 is freed too.
TEST_F(SendPathTest, CommandsBreakingTheBlockContractAreRefusedOrHandledSafely) {
    using Block = stack::ProtocolMessage::Block;
    struct Case {
        const char* name;
        Block block;
        Bytes stored;
        stack::OutputBreach breach;
        HRESULT result;
    };
    const Bytes destination = DestinationBlock({1, 0x44, 1, 0x55, 1, 0x66});
    const std::vector<Case> cases = {
        {"negative data size", Block::SendData, {1, 2, 3}, {-1, false}, E_FAIL},
        {"data size without a block", Block::SendData, {1, 2, 3}, {3, true}, E_FAIL},
        {"destination size 24 without a block",
         Block::DestinationAddress,
         destination,
         {24, true},
         E_FAIL},
        {"destination size 12", Block::DestinationAddress, Bytes(12, 1), {12, false}, E_FAIL},
        {"negative destination size", Block::DestinationAddress, destination, {-24, false}, E_FAIL},
        {"data block of size 0", Block::SendData, {1, 2, 3}, {0, false}, S_OK},
        {"destination block of size 0", Block::DestinationAddress, destination, {0, false}, S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = InitialisedDevice();
        stack::CommandSpec spec = Spec(1, 1);
        if (c.block == Block::SendData) {
            spec.sendData = c.stored;
        } else {
            spec.destinationAddress = c.stored;
        }
        auto command = Command(spec);
        command->BreakOutput(c.block, c.breach);
        EXPECT_EQ(device.layer->Send(command.get()), c.result);
        if (c.result == S_OK) {
            // Sent as if there were no block: an empty frame with the configured address.
            ASSERT_EQ(device.lower->Sent().size(), 1u);
            EXPECT_EQ(device.lower->Sent()[0].frame, ExpectedFrame(0x80, 0, 5, 0, 0, {}));
        } else {
            EXPECT_EQ(Lines(),
                      (TraceLines{"CVORNProtocol::Send() IN\n",
                                  "ERROR: CVORNProtocol::Send() Fail to get Parameters\n"}));
            EXPECT_TRUE(device.lower->Sent().empty());
        }
        command = nullptr;
        Lines();
        Shutdown(device);
    }
}

TEST_F(SendPathTest, WithoutInitialiseNothingIsAskedAndNoIdIsDrawn) {
    Device device = NewDevice();
    env().Log().Clear();
    EXPECT_EQ(device.layer->Send(Command(1).get()), E_FAIL);
    EXPECT_EQ(device.layer->Send(nullptr), E_FAIL);
    EXPECT_EQ(env().Log().Count(), 0u);
    EXPECT_EQ(
        Lines(),
        (TraceLines{"CVORNProtocol::Send() IN\n", "ERROR: CVORNProtocol::NOT initialised\n",
                    "CVORNProtocol::Send() IN\n", "ERROR: CVORNProtocol::NOT initialised\n"}));
    ASSERT_EQ(device.layer->Initialise(device.info.get()), S_OK);
    Lines();

    // Initialised, a missing command is a parameter that cannot be read.
    EXPECT_EQ(device.layer->Send(nullptr), E_POINTER);
    EXPECT_EQ(Lines(), (TraceLines{"CVORNProtocol::Send() IN\n",
                                   "ERROR: CVORNProtocol::Send() Fail to get Parameters\n"}));
    EXPECT_EQ(NextSequenceId(device), 0);
    Lines();
    Shutdown(device);
}

// Each call out failing in turn: its result, its trace line, the calls made before it and none
// after, no pending entry, everything freed and released, and the sequence id used up once
// the header was written.
TEST_F(SendPathTest, EachFailureEndsTheSendWithItsResultAndFreesEverything) {
    const std::string params = "ERROR: CVORNProtocol::Send() Fail to get Parameters\n";
    const std::string timeout = "ERROR: CVORNProtocol::Fail to Set NetworkMessage\n";
    const std::string out = "CVORNProtocol::SendInternal OUT\n";
    for (std::size_t failing = 0; failing < kSendCalls.size(); ++failing) {
        const std::string& operation = kSendCalls[failing];
        SCOPED_TRACE(operation);
        TraceLines lines = {"CVORNProtocol::Send() IN\n"};
        if (failing < kFirstCallAfterHeader) lines.push_back(params);
        if (operation == "NetworkMessage::SetTimeoutValue") lines.push_back(timeout);
        if (operation == "LowerLayer::SendNetworkMessage") lines.push_back(out);

        Device device = InitialisedDevice();
        stack::CommandSpec spec = Spec(77, 1, {1, 2, 3});
        spec.destinationAddress = DestinationBlock({1, 1, 1, 2, 1, 3});
        env().FailOnCall(operation, 1, E_ACCESSDENIED);
        EXPECT_EQ(device.layer->Send(Command(spec).get()), E_ACCESSDENIED);
        EXPECT_EQ(
            env().Log().Operations(),
            std::vector<std::string>(
                kSendCalls.begin(), kSendCalls.begin() + static_cast<std::ptrdiff_t>(failing) + 1));
        EXPECT_EQ(Lines(), lines);
        EXPECT_FALSE(WasPending(device, 77));
        EXPECT_EQ(NextSequenceId(device), failing >= kFirstCallAfterHeader ? 1 : 0);
        Lines();
        Shutdown(device);
    }
}

TEST_F(SendPathTest, FrameAllocationFailureEndsTheSendWithOutOfMemory) {
    Device device = InitialisedDevice();
    // The command's data copy is the first task-memory block, the frame the second.
    platform::TaskMemoryAudit::FailAllocation(2);
    EXPECT_EQ(device.layer->Send(Command(5, 1, {1, 2, 3}).get()), E_OUTOFMEMORY);
    platform::TaskMemoryAudit::FailAllocation(0);
    EXPECT_EQ(env().Log().Count("NetworkMessage"), 0u);
    EXPECT_EQ(Lines(), (TraceLines{"CVORNProtocol::Send() IN\n"}));
    EXPECT_FALSE(WasPending(device, 5));
    Lines();
    Shutdown(device);
}

}  // namespace
}  // namespace protocol_tests
