// The frame codec against frames worked out by hand, and the checks of received frames. Blocks
// are handed to the codec as exactly-sized heap copies so that ASan catches any read or write
// past them.
#include "protocol/vorn_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// An exactly-sized heap copy: one byte past it is a heap overflow under ASan.
std::unique_ptr<BYTE[]> HeapCopy(const Bytes& bytes) {
    auto block = std::make_unique<BYTE[]>(bytes.size());
    if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());
    return block;
}

LONG SizeOf(const Bytes& bytes) {
    return static_cast<LONG>(bytes.size());
}

// The wire form of a destination block: six little-endian 32-bit integers.
Bytes DestinationBytes(std::array<LONG, 6> fields) {
    Bytes block;
    for (LONG field : fields) {
        const auto value = static_cast<std::uint32_t>(field);
        for (int shift = 0; shift < 32; shift += 8)
            block.push_back(static_cast<BYTE>(value >> shift));
    }
    return block;
}

Bytes Concat(Bytes head, const Bytes& middle, const Bytes& tail) {
    head.insert(head.end(), middle.begin(), middle.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct BuildCase {
    std::string name;
    LONG responseRequired;
    BYTE dna, da1, da2, sequenceId;
    Bytes data;
    Bytes destination;  // empty: no destination block
    Bytes expectedHeader;
    Bytes expectedBcc;
};

// Settings DNA 11, DA1 22, DA2 33, sequence id 44 and data 01 02, varied by the response value
// or a destination block; expected are the response flag, the three address bytes and the BCC.
BuildCase Variation(std::string name, LONG responseRequired, Bytes destination,
                    std::array<BYTE, 4> flagAndAddress, Bytes bcc) {
    const auto [flag, dna, da1, da2] = flagAndAddress;
    // clang-format off
    return {std::move(name), responseRequired, 0x11, 0x22, 0x33, 0x44, {0x01, 0x02},
            std::move(destination),
            {0xAB, 0x00, 0x0E, flag, 0x00, 0x02, dna, da1, da2, 0x00, 0x00, 0x00, 0x44},
            std::move(bcc)};
    // clang-format on
}

std::vector<BuildCase> BuildCases() {
    // clang-format off
    std::vector<BuildCase> cases = {
        {"worked example with data", 1, 0x00, 0x05, 0x00, 0x07, {0x12, 0x34, 0x56}, {},
         {0xAB, 0x00, 0x0F, 0x80, 0x00, 0x02, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x07},
         {0x01, 0xE4}},
        {"worked example without data or response", 0, 0x00, 0x00, 0x00, 0x00, {}, {},
         {0xAB, 0x00, 0x0C, 0x81, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         {0x01, 0x3A}},
        {"byte sum beyond 16 bits keeps its low bits", 1, 0x00, 0x00, 0x00, 0x00,
         Bytes(300, 0xFF), {},
         {0xAB, 0x01, 0x38, 0x80, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         {0x2C, 0x3A}},
        Variation("response required 1", 1, {}, {0x80, 0x11, 0x22, 0x33}, {0x01, 0xE8}),
        Variation("destination flags 1,0,1 replace DNA and DA2", 1,
                  DestinationBytes({1, 0x44, 0, 0x55, 1, 0x66}), {0x80, 0x44, 0x22, 0x66},
                  {0x02, 0x4E}),
        Variation("destination value 0x1FF gives its low byte", 1,
                  DestinationBytes({1, 0x1FF, 0, 0, 0, 0}), {0x80, 0xFF, 0x22, 0x33},
                  {0x02, 0xD6}),
        Variation("destination values are not range-checked", 1,
                  DestinationBytes({1, 0x12345678, 1, -1, 1, 0x100}), {0x80, 0x78, 0xFF, 0x00},
                  {0x02, 0xF9}),
    };
    // clang-format on
    for (LONG other : {0, 2, -1}) {
        cases.push_back(Variation("response required " + std::to_string(other), other, {},
                                  {0x81, 0x11, 0x22, 0x33}, {0x01, 0xE9}));
    }
    for (LONG flag : {0, 2, -1}) {
        cases.push_back(Variation("destination flags " + std::to_string(flag) + " replace nothing",
                                  1, DestinationBytes({flag, 0x44, flag, 0x55, flag, 0x66}),
                                  {0x80, 0x11, 0x22, 0x33}, {0x01, 0xE8}));
    }
    return cases;
}

TEST(VornFrameBuildTest, KnownFramesByteForByte) {
    for (const BuildCase& c : BuildCases()) {
        SCOPED_TRACE(c.name);
        const Bytes expected = Concat(c.expectedHeader, c.data, c.expectedBcc);
        const auto blockCopy = HeapCopy(c.destination);
        const auto destination = c.destination.empty()
                                     ? vorn::DestinationAddressBlock{}
                                     : vorn::DestinationAddressBlock::FromBytes(blockCopy.get());
        const auto* destinationOrNull = c.destination.empty() ? nullptr : &destination;

        EXPECT_EQ(vorn::BuildFrame(c.responseRequired, c.dna, c.da1, c.da2, c.sequenceId, c.data,
                                   destinationOrNull),
                  expected);

        // The send path's way: header, data copy and BCC into a buffer of exactly n + 15 bytes.
        const LONG n = SizeOf(c.data);
        auto frame = std::make_unique<BYTE[]>(expected.size());
        if (destinationOrNull != nullptr) {
            vorn::BuildFrameHeaderWithDestination(c.responseRequired, n + 12, c.dna, c.da1, c.da2,
                                                  c.sequenceId, destination, frame.get());
        } else {
            vorn::BuildFrameHeader(c.responseRequired, n + 12, c.dna, c.da1, c.da2, c.sequenceId,
                                   frame.get());
        }
        if (n > 0) std::memcpy(frame.get() + vorn::kHeaderSize, c.data.data(), c.data.size());
        vorn::AppendBcc(frame.get(), n + vorn::kHeaderSize);
        EXPECT_EQ(Bytes(frame.get(), frame.get() + expected.size()), expected);

        // And back: the frame checks and strips to the data it was built from.
        const auto received = HeapCopy(expected);
        EXPECT_TRUE(vorn::CheckBcc(received.get(), SizeOf(expected)));
        const auto stripped = vorn::StripFrame(received.get(), SizeOf(expected));
        ASSERT_TRUE(stripped.has_value());
        EXPECT_EQ(Bytes(stripped->begin(), stripped->end()), c.data);
    }
}

TEST(VornFrameBuildTest, DestinationBlockIsLittleEndianWhateverTheHost) {
    const Bytes block = {0x01, 0x00, 0x00, 0x00, 0xFF, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
                         0x78, 0x56, 0x34, 0x12, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80};
    const auto copy = HeapCopy(block);
    const auto parsed = vorn::DestinationAddressBlock::FromBytes(copy.get());
    EXPECT_EQ(parsed.dnaFlag, 1);
    EXPECT_EQ(parsed.dnaValue, 0x1FF);
    EXPECT_EQ(parsed.da1Flag, -1);
    EXPECT_EQ(parsed.da1Value, 0x12345678);
    EXPECT_EQ(parsed.da2Flag, 2);
    EXPECT_EQ(parsed.da2Value, static_cast<LONG>(0x80000000u));

    const auto none = vorn::DestinationAddressBlock::FromBytes(nullptr);
    EXPECT_NE(none.dnaFlag, 1);
    EXPECT_NE(none.da1Flag, 1);
    EXPECT_NE(none.da2Flag, 1);
}

TEST(VornFrameBuildTest, LengthFieldReachesFFFFAndLongerDataIsRefused) {
    const Bytes largest(static_cast<std::size_t>(vorn::kMaxDataForLengthField), 0xA5);
    const Bytes frame = vorn::BuildFrame(1, 0, 0, 0, 0, largest);
    ASSERT_EQ(frame.size(), largest.size() + 15);
    EXPECT_EQ(frame[1], 0xFF);
    EXPECT_EQ(frame[2], 0xFF);
    EXPECT_EQ(frame[frame.size() - 2], 0xFA);
    EXPECT_EQ(frame[frame.size() - 1], 0xCA);

    const Bytes tooLong(largest.size() + 1, 0xA5);
    EXPECT_THROW(vorn::BuildFrame(1, 0, 0, 0, 0, tooLong), std::length_error);
}

TEST(VornFrameCheckTest, EverySingleByteChangeFailsTheCheck) {
    const Bytes good = vorn::BuildFrame(1, 0x00, 0x05, 0x00, 0x07, Bytes{0x12, 0x34, 0x56});
    for (std::size_t i = 0; i < good.size(); ++i) {
        SCOPED_TRACE(i);
        Bytes changed = good;
        ++changed[i];
        const auto block = HeapCopy(changed);
        EXPECT_FALSE(vorn::CheckBcc(block.get(), SizeOf(changed)));
        EXPECT_FALSE(vorn::StripFrame(block.get(), SizeOf(changed)).has_value());
    }
}

TEST(VornFrameCheckTest, OnlyTheChecksumDecides) {
    struct Case {
        const char* name;
        Bytes frame;
        Bytes expectedData;
    };
    const Case cases[] = {
        {"length field says no data, three bytes arrived",
         {0xAB, 0x00, 0x0C, 0x80, 0x00, 0x02, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x07, 0x12, 0x34,
          0x56, 0x01, 0xE1},
         {0x12, 0x34, 0x56}},
        {"length field larger than the frame",
         {0xAB, 0x00, 0x20, 0x80, 0x00, 0x02, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x07, 0x12, 0x34,
          0x56, 0x01, 0xF5},
         {0x12, 0x34, 0x56}},
        {"start byte, flag, fixed byte and sequence id off",
         {0x00, 0x00, 0x0F, 0x7F, 0x00, 0x09, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0xEE, 0x12, 0x34,
          0x56, 0x02, 0x26},
         {0x12, 0x34, 0x56}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto block = HeapCopy(c.frame);
        EXPECT_TRUE(vorn::CheckBcc(block.get(), SizeOf(c.frame)));
        const auto data = vorn::StripFrame(block.get(), SizeOf(c.frame));
        ASSERT_TRUE(data.has_value());
        EXPECT_EQ(Bytes(data->begin(), data->end()), c.expectedData);
    }
}

TEST(VornFrameCheckTest, TwoBytesAreComparedWithTheSumOfNothing) {
    const std::pair<Bytes, bool> cases[] = {
        {{0x00, 0x00}, true}, {{0x00, 0x01}, false}, {{0x01, 0x00}, false}, {{0xFF, 0xFF}, false}};
    for (const auto& [bytes, good] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        const auto block = HeapCopy(bytes);
        EXPECT_EQ(vorn::CheckBcc(block.get(), 2), good);
        EXPECT_FALSE(vorn::StripFrame(block.get(), 2).has_value());
    }
}

TEST(VornFrameCheckTest, ShortOrMissingBlocksAreRefusedWithoutReadingOutside) {
    // Fourteen bytes whose last two are the sum of the rest: a good checksum, but no room for
    // a header and a BCC.
    const Bytes fourteen = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                            0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x00, 0x4E};
    const auto block14 = HeapCopy(fourteen);
    EXPECT_TRUE(vorn::CheckBcc(block14.get(), 14));
    EXPECT_FALSE(vorn::StripFrame(block14.get(), 14).has_value());

    const auto block1 = HeapCopy({0x00});
    EXPECT_FALSE(vorn::CheckBcc(block1.get(), 1));
    EXPECT_FALSE(vorn::StripFrame(block1.get(), 1).has_value());
    const auto block0 = HeapCopy({});
    EXPECT_FALSE(vorn::CheckBcc(block0.get(), 0));
    EXPECT_FALSE(vorn::StripFrame(block0.get(), 0).has_value());
    EXPECT_FALSE(vorn::CheckBcc(block14.get(), -1));
    EXPECT_FALSE(vorn::StripFrame(block14.get(), -1).has_value());

    EXPECT_FALSE(vorn::CheckBcc(nullptr, 15));
    EXPECT_FALSE(vorn::StripFrame(nullptr, 15).has_value());
}

TEST(VornFrameCheckTest, ChecksumOfNothingIsZeroAndBadArgumentsWriteNothing) {
    const auto block = HeapCopy({0x10, 0x20, 0x30});
    EXPECT_EQ(vorn::ComputeBcc(block.get(), 0), 0);
    EXPECT_EQ(vorn::ComputeBcc(block.get(), -5), 0);
    EXPECT_EQ(vorn::ComputeBcc(nullptr, 3), 0);
    EXPECT_EQ(vorn::ComputeBcc(block.get(), 3), 0x60);

    vorn::AppendBcc(block.get(), -1);
    vorn::AppendBcc(nullptr, 1);
    vorn::BuildFrameHeader(1, 12, 0, 0, 0, 0, nullptr);
    vorn::BuildFrameHeaderWithDestination(1, 12, 0, 0, 0, 0, {1, 1, 1, 1, 1, 1}, nullptr);
    EXPECT_EQ(Bytes(block.get(), block.get() + 3), (Bytes{0x10, 0x20, 0x30}));

    // Over no bytes the BCC is 0: the two bytes at the count are zeroed.
    vorn::AppendBcc(block.get(), 0);
    EXPECT_EQ(Bytes(block.get(), block.get() + 3), (Bytes{0x00, 0x00, 0x30}));
}

}  // namespace
