// The shared area and its ring writer: slots, wrap, limits, back-pressure, and what a faulty
// consumer may leave in the header.
#include <climits>
#include <cstring>
#include <string>
#include <thread>

#include "trace_fixture.h"

namespace {

using namespace std::chrono_literals;
using trace_testing::TraceTest;

class TraceAreaTest : public TraceTest {};

TEST_F(TraceAreaTest, StoresLinesUpTo512CharactersAndDropsLongerOnes) {
    const std::string longest(ZQM_TRACE_MAX_LINE, 'x');
    ZQMTracePut(longest.c_str());
    EXPECT_EQ(viewer().Slot(0), longest);
    EXPECT_EQ(viewer().RawArea()[ZQM_TRACE_RING_START + ZQM_TRACE_SLOT_SIZE - 1], 0)
        << "the NUL goes into the slot's last byte";
    EXPECT_EQ(viewer().PendingCount(), 1);
    EXPECT_TRUE(viewer().WaitForLines(0ms));

    const std::string tooLong(ZQM_TRACE_MAX_LINE + 1, 'y');
    ZQMTracePut(tooLong.c_str());
    ZQMTracePut(nullptr);
    EXPECT_EQ(viewer().PendingCount(), 1);
    EXPECT_EQ(viewer().WriteIndex(), 1);
    EXPECT_EQ(viewer().RawArea()[ZQM_TRACE_RING_START + ZQM_TRACE_SLOT_SIZE], 0);
    EXPECT_FALSE(viewer().WaitForLines(0ms)) << "a dropped line must not wake the viewer";
}

TEST_F(TraceAreaTest, WrapsFromTheLastSlotToTheFirstAndLeavesTheReservedBytesAlone) {
    viewer().EditArea([](unsigned char* area) {
        std::memcpy(area + ZQM_TRACE_RESERVED_OFFSET, "\xA5\x5A\x00\xFF", 4);
    });
    viewer().SetWriteIndex(ZQM_TRACE_SLOT_COUNT - 1);
    ZQMTracePut("last\n");
    EXPECT_EQ(viewer().WriteIndex(), 0);
    ZQMTracePut("first\n");
    EXPECT_EQ(viewer().WriteIndex(), 1);
    EXPECT_EQ(viewer().Slot(ZQM_TRACE_SLOT_COUNT - 1), "last\n");
    EXPECT_EQ(viewer().Slot(0), "first\n");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"last\n", "first\n"}));
    EXPECT_EQ(std::memcmp(viewer().RawArea() + ZQM_TRACE_RESERVED_OFFSET, "\xA5\x5A\x00\xFF", 4),
              0);
}

TEST_F(TraceAreaTest, SignalsTheEventOncePerStoredLine) {
    for (const char* line : {"one\n", "two\n", "three\n"}) {
        ZQMTracePut(line);
        EXPECT_TRUE(viewer().WaitForLines(0ms)) << line;
        EXPECT_FALSE(viewer().WaitForLines(0ms)) << line;
    }
    EXPECT_EQ(viewer().PendingCount(), 3);
}

TEST_F(TraceAreaTest, StoresAtTheHighWaterMarkAndWaitsAboveItUntilTheViewerTakesLines) {
    zqm::testing::SetBackPressureLimit(1h);
    viewer().SetPendingCount(ZQM_TRACE_HIGH_WATER);
    ZQMTracePut("at the mark\n");
    EXPECT_EQ(viewer().PendingCount(), ZQM_TRACE_HIGH_WATER + 1);
    EXPECT_EQ(viewer().Slot(0), "at the mark\n");

    auto writer = Async([] { ZQMTracePut("waited\n"); });
    EXPECT_EQ(writer.wait_for(50ms), std::future_status::timeout);
    EXPECT_EQ(viewer().WriteIndex(), 1) << "nothing may be stored above the mark";
    viewer().SetPendingCount(ZQM_TRACE_HIGH_WATER);
    ExpectReturns(writer);
    EXPECT_EQ(viewer().Slot(1), "waited\n");
    EXPECT_EQ(viewer().PendingCount(), ZQM_TRACE_HIGH_WATER + 1);
}

TEST_F(TraceAreaTest, AWaitingWriterGivesUpWhenTracingIsTurnedOff) {
    zqm::testing::SetBackPressureLimit(1h);
    viewer().SetPendingCount(ZQM_TRACE_HIGH_WATER + 1);
    auto writer = Async([] { ZQMTracePut("never\n"); });
    EXPECT_EQ(writer.wait_for(20ms), std::future_status::timeout);
    viewer().SetEnabled(false);
    ExpectReturns(writer);
    EXPECT_EQ(viewer().WriteIndex(), 0);
    EXPECT_EQ(viewer().PendingCount(), ZQM_TRACE_HIGH_WATER + 1);
}

// A viewer that stopped taking lines with tracing on must not stop the writers for good.
TEST_F(TraceAreaTest, AfterAWaitTimesOutLinesAreDroppedAtOnceUntilOneFitsAgain) {
    viewer().SetPendingCount(950);
    zqm::testing::SetBackPressureLimit(20ms);
    ZQMTracePut("timed out\n");
    EXPECT_EQ(viewer().WriteIndex(), 0);

    // Were this one to wait, it would wait an hour: it returns only by dropping at once.
    zqm::testing::SetBackPressureLimit(1h);
    auto dropped = Async([] { ZQMTracePut("dropped\n"); });
    ExpectReturns(dropped);
    EXPECT_EQ(viewer().WriteIndex(), 0);
    EXPECT_EQ(viewer().PendingCount(), 950);

    viewer().SetPendingCount(ZQM_TRACE_HIGH_WATER);
    ZQMTracePut("stored\n");
    EXPECT_EQ(viewer().Slot(0), "stored\n");

    // Having stored again, the writer waits for room once more.
    auto waiting = Async([] { ZQMTracePut("waited\n"); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    viewer().SetPendingCount(0);
    ExpectReturns(waiting);
    EXPECT_EQ(viewer().Slot(1), "waited\n");
}

TEST_F(TraceAreaTest, AnAreaCreatedAfterLoadIsNeverWritten) {
    CloseViewer();
    ZQMTraceMap();  // as at load, with no area
    EXPECT_FALSE(ZQMTraceMapped());
    ZQMTraceViewer late("");
    ASSERT_TRUE(late.valid());
    ClearEvent(late);
    ZQMTrace("lost\n");
    ZQMTracePut("lost\n");
    EXPECT_EQ(late.PendingCount(), 0);
    EXPECT_EQ(late.Slot(0), "");
    EXPECT_FALSE(late.WaitForLines(0ms));
}

struct FaultyHeader {
    std::int32_t writeIndex;
    std::int32_t pendingCount;
    std::int32_t storedInSlot;
    std::int32_t pendingAfter;
};

TEST_F(TraceAreaTest, HeaderValuesOutsideTheRingAreRepairedInsteadOfFollowed) {
    const FaultyHeader cases[] = {
        {ZQM_TRACE_SLOT_COUNT, 0, 0, 1},
        {-1, 0, 0, 1},
        {INT_MAX, 3, 0, 4},
        {INT_MIN, 0, 0, 1},
        {5, -7, 5, 1},
        {5, INT_MIN, 5, 1},
    };
    for (const FaultyHeader& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "writeIndex " << c.writeIndex << " pending " << c.pendingCount);
        OpenViewer("");
        viewer().SetWriteIndex(c.writeIndex);
        viewer().SetPendingCount(c.pendingCount);
        ZQMTracePut("line\n");
        EXPECT_EQ(viewer().Slot(c.storedInSlot), "line\n");
        EXPECT_EQ(viewer().WriteIndex(), c.storedInSlot + 1);
        EXPECT_EQ(viewer().PendingCount(), c.pendingAfter);
    }
}

TEST_F(TraceAreaTest, AFilterWithoutItsNulIsReadToThe34thCharacterOnly) {
    viewer().EditArea([](unsigned char* area) {
        std::memset(area + ZQM_TRACE_FILTER_OFFSET, 'J', ZQM_TRACE_FILTER_SIZE);
        area[ZQM_TRACE_FILTER_OFFSET + ZQM_TRACE_FILTER_SIZE - 1] = 'O';
    });
    EXPECT_FALSE(ZQMTraceCategoryEnabled("jo")) << "the 35th byte is not part of the text";
    viewer().EditArea([](unsigned char* area) {
        area[ZQM_TRACE_FILTER_OFFSET + ZQM_TRACE_FILTER_MAX - 1] = 'O';
    });
    EXPECT_TRUE(ZQMTraceCategoryEnabled("jo"));
}

TEST_F(TraceAreaTest, AnAreaTooSmallForTheRingIsNotUsed) {
    CloseViewer();
    ZQMTraceViewer small("", 4096);
    ASSERT_TRUE(small.valid());
    ZQMTraceMap();
    EXPECT_FALSE(ZQMTraceMapped());
    ZQMTrace("x\n");
    EXPECT_EQ(small.PendingCount(), 0);
}

}  // namespace
