// Sequence ids: counted per lower layer across all protocol objects of the process, from 0,
// wrapping after 256, and starting again once the last object is gone.
#include <gtest/gtest.h>

#include <vector>

#include "protocol/sequence_id_registry.h"
#include "protocol_fixture.h"

namespace protocol_tests {
namespace {

TEST(SequenceIdRegistryTest, CountsEachKeyFromZeroAndWrapsAfter256) {
    SequenceIdRegistry registry;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(registry.NextId(1), i);
    EXPECT_EQ(registry.NextId(1), 0);
    EXPECT_EQ(registry.NextId(2), 0);
    EXPECT_EQ(registry.NextId(~std::uintptr_t{0}), 0);
    EXPECT_EQ(registry.NextId(1), 1);
}

TEST(SequenceIdRegistryTest, LastReleaseDestroysTheCounters) {
    SequenceIdRegistry* first = AcquireRegistry();
    first->NextId(5);
    SequenceIdRegistry* second = AcquireRegistry();
    EXPECT_EQ(second, first);
    ReleaseRegistry();
    EXPECT_EQ(second->NextId(5), 1);  // one user left: the counters stay
    ReleaseRegistry();
    SequenceIdRegistry* fresh = AcquireRegistry();
    EXPECT_EQ(fresh->NextId(5), 0);
    ReleaseRegistry();
}

class SequenceIdTest : public ProtocolTest {
protected:
    static std::vector<BYTE> SentIds(const ComPtr<stack::LowerLayer>& lower) {
        std::vector<BYTE> ids;
        for (const stack::SentMessage& sent : lower->Sent()) ids.push_back(sent.frame.at(12));
        return ids;
    }
};

TEST_F(SequenceIdTest, ObjectsSharingALowerLayerShareItsSequence) {
    Device a = InitialisedDevice();  // both registrations get the default lower layer
    Device b = a;
    b.info = stack::DeviceInfo::CreateWithConfiguration(platform::WideView(kDeviceText));
    b.layer = CreateLayer();
    ASSERT_EQ(b.layer->Initialise(b.info.get()), S_OK);
    for (int i = 0; i < 3; ++i) {
        a.layer->Send(Command(1, 0).get());
        b.layer->Send(Command(2, 0).get());
    }
    EXPECT_EQ(SentIds(a.lower), (std::vector<BYTE>{0, 1, 2, 3, 4, 5}));

    // The counter outlives the object that drew from it.
    b.layer->UnInitialise();
    b = Device{};
    a.layer->Send(Command(1, 0).get());
    EXPECT_EQ(SentIds(a.lower).back(), 6);
    Lines();
    Shutdown(a);

    // The last object is gone: a new one starts again at 0.
    Device c = InitialisedDevice();
    c.layer->Send(Command(1, 0).get());
    EXPECT_EQ(SentIds(c.lower), (std::vector<BYTE>{0}));
    Lines();
    Shutdown(c);
}

TEST_F(SequenceIdTest, EachLowerLayerCountsOnItsOwn) {
    auto other = stack::LowerLayer::Create();
    Device a = NewDevice();
    env().QueueLowerLayer(a.lower.get());
    env().QueueLowerLayer(other.get());
    ASSERT_EQ(a.layer->Initialise(a.info.get()), S_OK);
    Device b = NewDevice();
    ASSERT_EQ(b.layer->Initialise(b.info.get()), S_OK);
    for (int i = 0; i < 300; ++i) a.layer->Send(Command(1, 0).get());
    b.layer->Send(Command(2, 0).get());
    b.layer->Send(Command(2, 0).get());

    const std::vector<BYTE> ids = SentIds(a.lower);
    ASSERT_EQ(ids.size(), 300u);
    EXPECT_EQ(ids[255], 255);
    EXPECT_EQ(ids[256], 0);
    EXPECT_EQ(ids[299], 43);
    EXPECT_EQ(SentIds(other), (std::vector<BYTE>{0, 1}));
    other = nullptr;
    b.layer->UnInitialise();
    b = Device{};
    Lines();
    Shutdown(a);
}

}  // namespace
}  // namespace protocol_tests
