// The layer under concurrent use (run under ThreadSanitizer): senders on several threads while
// the lower layer answers on its own, replies overlapping UnInitialise, and settings changed
// while frames are built and targets compared.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <tuple>
#include <vector>

#include "protocol_fixture.h"
#include "stack/com_initialisation.h"

namespace protocol_tests {
namespace {

constexpr ULONG kUnknownIdOffset = 1000000;

// What the lower layer answers, by message id: duplicated replies, a bad BCC, a reply with an
// id nobody waits for before the right one, or one plain echo.
std::vector<stack::Reply> MixedReplies(const stack::SentMessage& sent) {
    const ULONG id = sent.messageId;
    const Bytes echo = stack::EchoReplyFrame(sent.frame);
    switch (id % 4) {
        case 0:
            return {{id, echo, std::nullopt}, {id, echo, std::nullopt}};
        case 1: {
            Bytes bad = echo;
            bad.back() ^= 0x01;
            return {{id, bad, std::nullopt}};
        }
        case 2:
            return {{id + kUnknownIdOffset, echo, std::nullopt}, {id, echo, std::nullopt}};
        default:
            return {{id, echo, std::nullopt}};
    }
}

// Runs body(index) on count threads of the multithreaded apartment and waits for all of them.
template <class Body>
void OnThreads(int count, Body body) {
    std::vector<std::thread> threads;
    for (int index = 0; index < count; ++index) {
        threads.emplace_back([&body, index] {
            const stack::ComInitialisation com;
            body(index);
        });
    }
    for (std::thread& thread : threads) thread.join();
}

class ConcurrencyTest : public ProtocolTest {
protected:
    void SetUp() override {
        ProtocolTest::SetUp();
        SetTraceFilter("");  // more lines than the ring holds; tracing still runs, filtered
    }
};

TEST_F(ConcurrencyTest, EveryPendingCommandGetsExactlyOneDelivery) {
    constexpr int kThreads = 3;
    constexpr int kPerThread = 200;
    Device device = InitialisedDevice(kDeviceText, stack::ReplyMode::WorkerThread);
    device.lower->SetReplyScript(MixedReplies);
    std::atomic<int> failedSends{0};
    OnThreads(kThreads, [&](int thread) {
        for (int i = 0; i < kPerThread; ++i) {
            const auto id = static_cast<ULONG>(thread * kPerThread + i + 1);
            const Bytes data = {static_cast<BYTE>(thread), static_cast<BYTE>(i)};
            if (device.layer->Send(Command(id, 1, data).get()) != S_OK) ++failedSends;
        }
    });
    ASSERT_EQ(failedSends, 0);
    ASSERT_TRUE(device.lower->WaitIdle());

    std::map<ULONG, int> deliveries;
    for (const stack::Delivery& delivery : device.sink->Deliveries()) {
        ++deliveries[delivery.messageId];
        const ULONG index = delivery.messageId - 1;
        const Bytes data = {static_cast<BYTE>(index / kPerThread),
                            static_cast<BYTE>(index % kPerThread)};
        EXPECT_EQ(delivery.receiveData,
                  delivery.messageId % 4 == 1 ? std::nullopt : std::optional<Bytes>(data))
            << delivery.messageId;
    }
    ASSERT_EQ(deliveries.size(), static_cast<std::size_t>(kThreads * kPerThread));
    for (const auto& [id, count] : deliveries) {
        EXPECT_LE(id, static_cast<ULONG>(kThreads * kPerThread)) << "unknown id delivered";
        EXPECT_EQ(count, 1) << id;
    }

    // Nothing left pending: late replies for every id are dropped.
    device.lower->SetReplyMode(stack::ReplyMode::None);
    for (const auto& [id, count] : deliveries) {
        device.layer->Receive(ReplyMessage(id, std::nullopt).get());
    }
    EXPECT_EQ(device.sink->Deliveries().size(), deliveries.size());

    // One lower layer, one sequence: the ids of all frames are consecutive modulo 256.
    std::map<BYTE, int> ids;
    for (const stack::SentMessage& sent : device.lower->Sent()) ++ids[sent.frame.at(12)];
    const int frames = kThreads * kPerThread;
    for (int id = 0; id < 256; ++id) {
        EXPECT_EQ(ids[static_cast<BYTE>(id)], frames / 256 + (id < frames % 256 ? 1 : 0)) << id;
    }
    Shutdown(device);
}

// Receive may still run on the lower layer's thread while UnInitialise detaches the layer.
TEST_F(ConcurrencyTest, RepliesOverlappingUnInitialiseAreDeliveredOrDropped) {
    constexpr int kCommands = 300;
    Device device = InitialisedDevice(kDeviceText, stack::ReplyMode::WorkerThread);
    for (int i = 1; i <= kCommands; ++i) {
        ASSERT_EQ(device.layer->Send(Command(static_cast<ULONG>(i)).get()), S_OK);
    }
    EXPECT_EQ(device.layer->UnInitialise(), S_OK);
    ASSERT_TRUE(device.lower->WaitIdle());
    EXPECT_LE(device.sink->Deliveries().size(), static_cast<std::size_t>(kCommands));
    Shutdown(device);
}

// While the settings flip between two configurations, every frame is built from one of them
// as a whole: its address bytes, its timeout and the FRAME bound it passed.
TEST_F(ConcurrencyTest, SettingsChangedUnderTrafficGoIntoFramesAsAWhole) {
    // The device starts with DNA 0, DA1 5, DA2 0, TMO 300 and FRAME 1004.
    const WCHAR* const small = WIDE(
        "[ADDRESS]\r\nDNA=1\r\nDA1=2\r\nDA2=3\r\n[NET]\r\nTMO=100\r\nFRAME=0\r\n"
        "NET=network of the small frames\r\n[DRVR]\r\nPORT=port of the small frames\r\n");
    const WCHAR* const large = WIDE(
        "[ADDRESS]\r\nDNA=7\r\nDA1=8\r\nDA2=9\r\n[NET]\r\nTMO=200\r\nFRAME=1004\r\n"
        "NET=network of the large frames, long enough to be allocated\r\n"
        "[DRVR]\r\nPORT=port of the large frames, long enough to be allocated\r\n");
    using Settings = std::tuple<BYTE, BYTE, BYTE, LONG>;  // DNA, DA1, DA2, timeout
    const Settings initial{0, 5, 0, 300};
    const Settings smallSettings{1, 2, 3, 100};
    const Settings largeSettings{7, 8, 9, 200};

    Device device = InitialisedDevice();
    ComPtr<IVELDO_RuntimeInformation> runtime;
    ASSERT_EQ(device.layer.query_to(&runtime), S_OK);
    std::atomic<bool> changing{true};
    std::atomic<int> badAnswers{0};
    std::atomic<int> dataFramesSent{0};
    std::thread changer([&] {
        const stack::ComInitialisation com;
        // Keeps changing until a frame with data went down meanwhile: on a loaded machine the
        // sender may otherwise only ever run while the small FRAME bound is in force.
        for (int i = 0; i < 400 || (dataFramesSent == 0 && i < 1'000'000); ++i) {
            platform::WideString text(i % 2 == 0 ? small : large);
            if (runtime->ChangeRuntimeInformation(text.data()) != S_OK) ++badAnswers;
        }
        changing = false;
    });
    OnThreads(3, [&](int thread) {
        platform::WideString text(thread == 0 ? small : large);
        for (int i = 0; i < 300 || changing; ++i) {
            if (thread == 2) {
                LONG same = -1;
                LONG valid = -1;
                if (device.layer->SamePhysicalTarget(text.data(), &same) != S_OK ||
                    (same != 0 && same != 1)) {
                    ++badAnswers;
                }
                if (runtime->IsValidRuntimeConfiguration(text.data(), &valid) != S_OK ||
                    (valid != 0 && valid != 1)) {
                    ++badAnswers;
                }
            } else {
                // Three data bytes pass only a FRAME of 1004.
                const auto command = Command(1, 0, Bytes(static_cast<std::size_t>(thread) * 3, 0));
                if (device.layer->Send(command.get()) == S_OK && thread == 1) ++dataFramesSent;
            }
        }
    });
    changer.join();
    EXPECT_EQ(badAnswers, 0);

    std::size_t withData = 0;
    for (const stack::SentMessage& sent : device.lower->Sent()) {
        const Settings settings{sent.frame.at(6), sent.frame.at(7), sent.frame.at(8), sent.timeout};
        if (sent.frame.size() > 15) {
            ++withData;
            EXPECT_TRUE(settings == initial || settings == largeSettings);
        } else {
            EXPECT_TRUE(settings == initial || settings == smallSettings ||
                        settings == largeSettings);
        }
    }
    EXPECT_GT(withData, 0u);
    runtime = nullptr;
    Shutdown(device);
}

}  // namespace
}  // namespace protocol_tests
