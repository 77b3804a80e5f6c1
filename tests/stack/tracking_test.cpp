// The test machinery itself: fault injection on the n-th call, call recording in order with
// arguments, live-object counts and over-release detection.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "interfaces/vorn_ids.h"
#include "stack/call_tracking.h"
#include "stack/network_message.h"
#include "stack/protocol_message.h"
#include "stack/testing/stack_test.h"
#include "stack/text_format.h"

namespace {

using stack::NetworkMessage;
using stack::ProtocolMessage;
using Strings = std::vector<std::string>;

class TrackingTest : public stack::testing::StackTest {};

ULONG IdOf(NetworkMessage* message) {
    const stack::UntrackedScope untracked;
    ULONG id = 0;
    message->GetMessageID(&id);
    return id;
}

TEST_F(TrackingTest, FaultsHitExactlyThePlannedCallsAcrossObjects) {
    auto first = NetworkMessage::Create();
    auto second = NetworkMessage::Create();
    env().FailOnCall("NetworkMessage::SetMessageID", 2, E_OUTOFMEMORY);
    env().FailFromCall("NetworkMessage::SetReset", 2, E_FAIL);
    env().ReturnOnCall("NetworkMessage::SetTimeoutValue", 1, S_FALSE);

    EXPECT_EQ(first->SetMessageID(1), S_OK);
    EXPECT_EQ(second->SetMessageID(2), E_OUTOFMEMORY) << "the 2nd call, whatever the object";
    EXPECT_EQ(IdOf(second.get()), 0u) << "a failed call does nothing else";
    EXPECT_EQ(second->SetMessageID(3), S_OK) << "one-shot";
    EXPECT_EQ(IdOf(second.get()), 3u);

    EXPECT_EQ(first->SetReset(1), S_OK);
    EXPECT_EQ(first->SetReset(1), E_FAIL);
    EXPECT_EQ(second->SetReset(1), E_FAIL) << "repeats from the n-th call on";

    EXPECT_EQ(first->SetTimeoutValue(350), S_FALSE);
    LONG timeout = 0;
    ASSERT_EQ(first->GetTimeoutValue(&timeout), S_OK);
    EXPECT_EQ(timeout, 350) << "ReturnOnCall lets the operation run";
    EXPECT_EQ(env().Faults().Pending(), 0u);

    EXPECT_THROW(env().FailOnCall("NetworkMessage::SetMessageId", 1, E_FAIL),
                 std::invalid_argument);
    EXPECT_THROW(env().FailOnCall("NetworkMessage::SetMessageID", 0, E_FAIL),
                 std::invalid_argument);
    first = nullptr;
    second = nullptr;
    ExpectAllReleased();
}

TEST_F(TrackingTest, CreationThroughTheFactoryIsAnOperationWithItsOwnFaults) {
    env().FailOnCall("NetworkMessage::Create", 1, E_OUTOFMEMORY);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CoCreateInstance(CLSID_NetworkMessage, nullptr, CLSCTX_INPROC,
                               IID_IVELDO_NetworkMessage, &out),
              E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(env().Census().Live(), 0) << "nothing was made";

    platform::ComPtr<IVELDO_NetworkMessage> message;
    EXPECT_EQ(CoCreateInstance(CLSID_NetworkMessage, nullptr, CLSCTX_INPROC,
                               IID_IVELDO_NetworkMessage, message.put_void()),
              S_OK);
    EXPECT_EQ(env().Log().Count("NetworkMessage::Create"), 2u);

    // Aggregation is refused by the factory itself.
    auto outer = ProtocolMessage::Create();
    platform::ComPtr<IUnknown> inner;
    EXPECT_EQ(CoCreateInstance(CLSID_ProtocolMessage, outer.get(), CLSCTX_INPROC, IID_IUnknown,
                               inner.put_void()),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(inner.get(), nullptr);
    message = nullptr;
    outer = nullptr;
    ExpectAllReleased();
}

TEST_F(TrackingTest, CallsAreRecordedInOrderWithTheirArguments) {
    auto command = ProtocolMessage::Create();
    auto frame = NetworkMessage::Create();
    BYTE data[] = {0xAB, 0x00, 0x0C};
    env().FailOnCall("NetworkMessage::SetRetryState", 1, E_FAIL);

    command->SetMessageID(9);
    frame->SetData(3, data);
    frame->SetRetryState(rm_BOTH);
    command->SetResponseRequire(-1);
    {
        const stack::UntrackedScope untracked;
        frame->SetReset(1);  // neither recorded nor counted by the fault plan
    }

    EXPECT_EQ(env().Log().Operations(),
              (Strings{"ProtocolMessage::SetMessageID", "NetworkMessage::SetData",
                       "NetworkMessage::SetRetryState", "ProtocolMessage::SetResponseRequire"}));
    EXPECT_EQ(env().Log().Operations("NetworkMessage"),
              (Strings{"NetworkMessage::SetData", "NetworkMessage::SetRetryState"}));
    const auto calls = env().Log().Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].arguments, "id=9");
    EXPECT_EQ(calls[0].object, command->Identity());
    EXPECT_EQ(calls[1].arguments, "size=3 data=AB 00 0C");
    EXPECT_EQ(calls[1].object, frame->Identity());
    EXPECT_TRUE(calls[2].injected);
    EXPECT_EQ(calls[2].injectedResult, E_FAIL);
    EXPECT_EQ(calls[3].arguments, "require=-1");

    // With recording off, faults still fire.
    env().Log().SetEnabled(false);
    env().FailOnCall("ProtocolMessage::SetReset", 1, E_FAIL);
    EXPECT_EQ(command->SetReset(1), E_FAIL);
    EXPECT_EQ(env().Log().Count(), 4u);
    command = nullptr;
    frame = nullptr;
    ExpectAllReleased();
}

TEST_F(TrackingTest, LiveCountsReturnToZeroAndAReleaseTooManyIsCountedNotFatal) {
    auto command = ProtocolMessage::Create();
    auto frame = NetworkMessage::Create();
    platform::ComPtr<IVELDO_ReceiveMessage> base;
    ASSERT_EQ(frame.query_to(&base), S_OK);
    EXPECT_EQ(env().Census().Live(stack::StandInClass::ProtocolMessage), 1);
    EXPECT_EQ(env().Census().Live(stack::StandInClass::NetworkMessage), 1);
    EXPECT_EQ(env().Census().Live(), 2);
    EXPECT_EQ(frame->References(), 2);
    base = nullptr;

    IVELDO_ProtocolMessage* raw = command.detach();
    EXPECT_EQ(raw->Release(), 0u);
    EXPECT_EQ(env().Census().Live(stack::StandInClass::ProtocolMessage), 0);
    EXPECT_EQ(raw->Release(), 0u) << "the object is kept in quarantine, so this is safe";
    EXPECT_EQ(env().Census().ReferenceErrors(), 1);

    frame = nullptr;
    EXPECT_EQ(env().Census().Live(), 0);
    env().Census().ResetReferenceErrors();
    ExpectAllReleased();
}

}  // namespace
