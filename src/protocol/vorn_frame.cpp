#include "protocol/vorn_frame.h"

#include <algorithm>
#include <stdexcept>

namespace vorn {
namespace {

// Block bytes are little-endian whatever the host, so they are assembled one by one.
LONG ReadLittleEndian32(const BYTE* bytes) {
    const std::uint32_t value =
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<LONG>(value);
}

BYTE LowByte(std::uint32_t value) {
    return static_cast<BYTE>(value & 0xFFu);
}

void OverrideAddressByte(LONG flag, LONG value, BYTE& addressByte) {
    if (flag == 1) addressByte = LowByte(static_cast<std::uint32_t>(value));
}

}  // namespace

DestinationAddressBlock DestinationAddressBlock::FromBytes(const BYTE* block) {
    if (block == nullptr) return {};
    return {ReadLittleEndian32(block),      ReadLittleEndian32(block + 4),
            ReadLittleEndian32(block + 8),  ReadLittleEndian32(block + 12),
            ReadLittleEndian32(block + 16), ReadLittleEndian32(block + 20)};
}

void BuildFrameHeader(LONG responseRequired, LONG lengthValue, BYTE dna, BYTE da1, BYTE da2,
                      BYTE sequenceId, BYTE* frame) {
    if (frame == nullptr) return;
    const auto length = static_cast<std::uint32_t>(lengthValue);
    frame[0] = kStartByte;
    frame[1] = LowByte(length >> 8);
    frame[2] = LowByte(length);
    frame[3] = responseRequired == 1 ? kResponseRequiredFlag : kNoResponseFlag;
    frame[4] = 0x00;
    frame[5] = 0x02;
    frame[kDnaOffset] = dna;
    frame[kDa1Offset] = da1;
    frame[kDa2Offset] = da2;
    frame[9] = 0x00;
    frame[10] = 0x00;
    frame[11] = 0x00;
    frame[kSequenceIdOffset] = sequenceId;
}

void BuildFrameHeaderWithDestination(LONG responseRequired, LONG lengthValue, BYTE dna, BYTE da1,
                                     BYTE da2, BYTE sequenceId,
                                     const DestinationAddressBlock& destination, BYTE* frame) {
    if (frame == nullptr) return;
    BuildFrameHeader(responseRequired, lengthValue, dna, da1, da2, sequenceId, frame);
    OverrideAddressByte(destination.dnaFlag, destination.dnaValue, frame[kDnaOffset]);
    OverrideAddressByte(destination.da1Flag, destination.da1Value, frame[kDa1Offset]);
    OverrideAddressByte(destination.da2Flag, destination.da2Value, frame[kDa2Offset]);
}

std::uint16_t ComputeBcc(const BYTE* bytes, LONG count) {
    if (bytes == nullptr || count <= 0) return 0;
    // Unsigned wrap-around modulo 2^32 keeps the low 16 bits exact for any count.
    std::uint32_t sum = 0;
    for (LONG i = 0; i < count; ++i) sum += bytes[i];
    return static_cast<std::uint16_t>(sum & 0xFFFFu);
}

void AppendBcc(BYTE* frame, LONG count) {
    if (frame == nullptr || count < 0) return;
    const std::uint16_t bcc = ComputeBcc(frame, count);
    frame[count] = LowByte(static_cast<std::uint32_t>(bcc) >> 8);
    frame[count + 1] = LowByte(bcc);
}

bool CheckBcc(const BYTE* frame, LONG size) {
    if (frame == nullptr || size < kBccSize) return false;
    const auto stored = static_cast<std::uint16_t>(frame[size - 2] << 8 | frame[size - 1]);
    return stored == ComputeBcc(frame, size - kBccSize);
}

std::optional<std::span<const BYTE>> StripFrame(const BYTE* frame, LONG size) {
    if (frame == nullptr || size < kFrameOverhead || !CheckBcc(frame, size)) return std::nullopt;
    return std::span<const BYTE>(frame + kHeaderSize,
                                 static_cast<std::size_t>(size - kFrameOverhead));
}

std::vector<BYTE> BuildFrame(LONG responseRequired, BYTE dna, BYTE da1, BYTE da2, BYTE sequenceId,
                             std::span<const BYTE> data,
                             const DestinationAddressBlock* destination) {
    if (data.size() > static_cast<std::size_t>(kMaxDataForLengthField)) {
        throw std::length_error("VORN frame data exceeds what the length field can count");
    }
    const auto dataSize = static_cast<LONG>(data.size());
    std::vector<BYTE> frame(static_cast<std::size_t>(dataSize + kFrameOverhead));
    const LONG lengthValue = dataSize + kLengthFieldBias;
    if (destination != nullptr) {
        BuildFrameHeaderWithDestination(responseRequired, lengthValue, dna, da1, da2, sequenceId,
                                        *destination, frame.data());
    } else {
        BuildFrameHeader(responseRequired, lengthValue, dna, da1, da2, sequenceId, frame.data());
    }
    std::copy(data.begin(), data.end(), frame.begin() + kHeaderSize);
    AppendBcc(frame.data(), dataSize + kHeaderSize);
    return frame;
}

}  // namespace vorn
