// Each allocation made during Initialise, Send, Receive and the runtime operations failing in
// turn (the layer's own, which the entry barrier or the runtime operations turn into
// E_OUTOFMEMORY, and those of the objects it calls, which answer E_OUTOFMEMORY): the operation's
// result, nothing leaked or left pending, and the new-handler restored.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <utility>

#include "allocation_failure.h"
#include "platform/task_memory.h"
#include "protocol_fixture.h"

namespace protocol_tests {
namespace {

class MemoryExhaustionTest : public ProtocolTest {
protected:
    // Runs the operation with the n-th allocation of this thread failing; false once the
    // operation made fewer than n allocations.
    template <class Operation>
    bool RunFailingAllocation(long n, Operation operation, HRESULT& result) {
        const std::new_handler before = std::get_new_handler();
        bool failed = false;
        {
            testing_support::ScopedAllocationFailure failure(n);
            result = operation();
            failed = failure.Happened();
        }
        EXPECT_EQ(std::get_new_handler(), before);
        return failed;
    }
};

TEST_F(MemoryExhaustionTest, InitialiseFailsWithOutOfMemoryAndCanBeRepeated) {
    for (long n = 1;; ++n) {
        SCOPED_TRACE(n);
        Device device = NewDevice();
        HRESULT hr = E_FAIL;
        const bool failed = RunFailingAllocation(
            n, [&] { return device.layer->Initialise(device.info.get()); }, hr);
        if (!failed) {
            EXPECT_EQ(hr, S_OK);
            Lines();
            Shutdown(device);
            break;
        }
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        EXPECT_EQ(device.layer->Send(Command(1, 0).get()), E_FAIL);
        // Whichever step ran out, a later Initialise starts cleanly.
        EXPECT_EQ(device.layer->Initialise(device.info.get()), S_OK);
        Lines();
        Shutdown(device);
    }
}

TEST_F(MemoryExhaustionTest, SendFailsWithOutOfMemoryAndLeavesNothingPending) {
    Device device = InitialisedDevice();
    for (long n = 1;; ++n) {
        SCOPED_TRACE(n);
        const auto command = Command(static_cast<ULONG>(n), 1, {1, 2, 3});
        HRESULT hr = E_FAIL;
        const bool failed = RunFailingAllocation(
            n, [&] { return device.layer->Send(command.get()); }, hr);
        if (!failed) {
            EXPECT_EQ(hr, S_OK);
            break;
        }
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        device.layer->Receive(ReplyMessage(static_cast<ULONG>(n), std::nullopt).get());
        EXPECT_TRUE(device.sink->Deliveries().empty()) << "id left pending";
    }
    Lines();
    Shutdown(device);
}

TEST_F(MemoryExhaustionTest, ReceiveAlwaysAnswersSuccessAndDeliversAtMostOnce) {
    Device device = InitialisedDevice();
    const Bytes data = {0x12, 0x34};
    const Bytes frame = stack::BuildReplyFrame(0, data);
    for (long n = 1;; ++n) {
        SCOPED_TRACE(n);
        const auto id = static_cast<ULONG>(n);
        MakePending(device, id);
        const auto reply = ReplyMessage(id, frame);
        const std::size_t before = device.sink->Deliveries().size();
        HRESULT hr = E_FAIL;
        const bool failed = RunFailingAllocation(
            n, [&] { return device.layer->Receive(reply.get()); }, hr);
        EXPECT_EQ(hr, S_OK);
        EXPECT_LE(device.sink->Deliveries().size(), before + 1);
        if (!failed) {
            ASSERT_EQ(device.sink->Deliveries().size(), before + 1);
            EXPECT_EQ(device.sink->Deliveries().back().receiveData, data);
            break;
        }
    }
    Lines();
    Shutdown(device);
}

TEST_F(MemoryExhaustionTest, RuntimeInformationAnswersOutOfMemoryInsteadOfThrowing) {
    Device device = InitialisedDevice();
    device.lower->OfferRuntimeInformation(true);
    ComPtr<IVELDO_RuntimeInformation> runtime;
    ASSERT_EQ(device.layer.query_to(&runtime), S_OK);
    platform::WideString change = WIDE("[ADDRESS]\r\nDNA=77\r\n[NET]\r\nTMO=5\r\n");

    struct Operation {
        const char* name;
        std::function<HRESULT()> run;
    };
    LPWSTR information = nullptr;
    LONG valid = -1;
    const Operation operations[] = {
        {"GetRuntimeInformation", [&] { return runtime->GetRuntimeInformation(&information); }},
        {"IsValidRuntimeConfiguration",
         [&] { return runtime->IsValidRuntimeConfiguration(change.data(), &valid); }},
        {"ChangeRuntimeInformation",
         [&] { return runtime->ChangeRuntimeInformation(change.data()); }},
    };
    for (const Operation& operation : operations) {
        for (long n = 1;; ++n) {
            SCOPED_TRACE(testing::Message() << operation.name << ", allocation " << n);
            HRESULT hr = E_FAIL;
            const bool failed = RunFailingAllocation(n, operation.run, hr);
            platform::TaskMem<WCHAR> handedOut(std::exchange(information, nullptr));
            if (!failed) {
                EXPECT_EQ(hr, S_OK);
                break;
            }
            // The layer's own allocations answer E_OUTOFMEMORY; a lower layer that ran out
            // answers for itself, and what it says is passed on or, for its text, left out.
            EXPECT_TRUE(hr == E_OUTOFMEMORY || hr == S_OK) << std::hex << hr;
            if (hr != E_OUTOFMEMORY) continue;
            EXPECT_EQ(handedOut.get(), nullptr);
            // Either this layer's share of a change was made whole (and the lower layer ran out)
            // or not at all.
            EXPECT_EQ(device.layer->Send(Command(1, 0).get()), S_OK);
            const stack::SentMessage sent = device.lower->Sent().back();
            const bool unchanged = sent.frame.at(6) == 0 && sent.timeout == 300;
            const bool changed = sent.frame.at(6) == 77 && sent.timeout == 5;
            EXPECT_TRUE(unchanged || changed) << "a change half made";
        }
    }
    EXPECT_EQ(device.layer->Send(Command(1, 0).get()), S_OK);
    EXPECT_EQ(device.lower->Sent().back().frame.at(6), 77) << "the change took effect in the end";
    runtime = nullptr;
    Lines();
    Shutdown(device);
}

}  // namespace
}  // namespace protocol_tests
