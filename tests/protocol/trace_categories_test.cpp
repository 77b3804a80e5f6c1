// Every trace line of the layer in its category: one run through all of them, read back under
// the filter of each category in turn.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "protocol_fixture.h"

namespace protocol_tests {
namespace {

class TraceCategoriesTest : public ProtocolTest {
protected:
    // Initialise twice, sends that succeed, fail in the message and fail their parameters,
    // replies with a bad BCC and without a sink, the same-target test and the runtime
    // operations, then Send and SamePhysicalTarget after UnInitialise.
    void RunEveryTraceLine() {
        Device device = NewDevice(kDeviceText, stack::ReplyMode::CallerThread);
        ComPtr<IVELDO_RuntimeInformation> runtime;
        ASSERT_EQ(device.layer.query_to(&runtime), S_OK);
        platform::WideString own(kDeviceText);
        platform::WideString empty;
        LONG answer = 0;
        LPWSTR information = nullptr;

        device.layer->Initialise(device.info.get());
        device.layer->Initialise(device.info.get());
        device.layer->Send(Command(1, 1, {1, 2}).get());
        env().FailOnCall("NetworkMessage::SetTimeoutValue", 1, E_FAIL);
        device.layer->Send(Command(2, 0).get());
        device.layer->Send(Command(3, 1, Bytes(1007, 0)).get());
        MakePending(device, 4);
        Bytes bad = stack::BuildReplyFrame(0, {});
        bad.back() ^= 0x01;
        device.layer->Receive(ReplyMessage(4, bad).get());
        MakePending(device, 5);
        env().FailOnCall("StackServices::GetMessageSink", 1, E_FAIL);
        device.layer->Receive(ReplyMessage(5, stack::BuildReplyFrame(0, {})).get());
        device.layer->SamePhysicalTarget(own.data(), &answer);
        runtime->GetRuntimeInformation(&information);
        CoTaskMemFree(information);
        runtime->IsValidRuntimeConfiguration(own.data(), &answer);
        runtime->ChangeRuntimeInformation(empty.data());
        device.layer->UnInitialise();
        device.layer->Send(Command(6).get());
        device.layer->SamePhysicalTarget(own.data(), &answer);
        runtime = nullptr;
        Shutdown(device);
    }
};

TEST_F(TraceCategoriesTest, EachLineIsWrittenInItsCategory) {
    enum Category { JO, Dollar, Error };
    const std::vector<std::pair<Category, std::string>> run = {
        {JO, "CVORNProtocol::Initialise()\n"},
        {JO, "CVORNProtocol::Initialise()\n"},
        {Error, "ERROR: CVORNProtocol::Initialise() FAILED - multiple calling\n"},
        {Dollar, "CVORNProtocol::Send() IN\n"},
        {JO, "CVORNProtocol::SendInternal OUT\n"},
        {JO, "CVORNProtocol::Receive() IN\n"},
        {Dollar, "CVORNProtocol::ReceiveInternal() IN\n"},
        {JO, "CVORNProtocol::Receive Internal OUT\n"},
        {Dollar, "CVORNProtocol::Send() IN\n"},
        {Error, "ERROR: CVORNProtocol::Fail to Set NetworkMessage\n"},
        {Dollar, "CVORNProtocol::Send() IN\n"},
        {Error, "ERROR: CVORNProtocol::Send() Fail to get Parameters\n"},
        {Dollar, "CVORNProtocol::Send() IN\n"},
        {JO, "CVORNProtocol::SendInternal OUT\n"},
        {JO, "CVORNProtocol::Receive() IN\n"},
        {Dollar, "CVORNProtocol::ReceiveInternal() IN\n"},
        {Error, "ERROR: CVORNProtocol::ReceiveInternal() BCC ERROR\n"},
        {JO, "CVORNProtocol::Receive Internal OUT\n"},
        {Dollar, "CVORNProtocol::Send() IN\n"},
        {JO, "CVORNProtocol::SendInternal OUT\n"},
        {JO, "CVORNProtocol::Receive() IN\n"},
        {Dollar, "CVORNProtocol::ReceiveInternal() IN\n"},
        {Error, "ERROR: CVORNProtocol::Fail to Set ProtocolMessage ID\n"},
        {JO, "CVORNProtocol::SamePhysicalTarget() IN\n"},
        {JO, "CVORNProtocol::GetRuntimeInformation()\n"},
        {JO, "CVORNProtocol::IsValidRuntimeConfiguration(), Valid[1]\n"},
        {JO, "CVORNProtocol::ChangeRuntimeInformation()\n"},
        {Dollar, "CVORNProtocol::Send() IN\n"},
        {Error, "ERROR: CVORNProtocol::NOT initialised\n"},
        {JO, "CVORNProtocol::SamePhysicalTarget() IN\n"},
        {Error, "ERROR: CVORNProtocol::SamePhysicalTarget() Not Initialised\n"},
    };
    const std::vector<std::pair<const char*, std::vector<Category>>> filters = {
        {"JO", {JO}}, {"$", {Dollar}}, {"E", {Error}}, {"JOE$", {JO, Dollar, Error}}};
    for (const auto& [filter, categories] : filters) {
        SCOPED_TRACE(filter);
        SetTraceFilter(filter);
        RunEveryTraceLine();
        TraceLines expected;
        for (const auto& [category, line] : run) {
            for (Category admitted : categories) {
                if (category == admitted) expected.push_back(line);
            }
        }
        EXPECT_EQ(Lines(), expected);
    }
}

}  // namespace
}  // namespace protocol_tests
