// The VORN frame codec: pure functions that build a frame for the layer below and check and
// strip a frame that comes back up. Nothing here allocates (except BuildFrame), frees or keeps
// state, so every function may run on any number of threads at once.
//
// A frame for n data bytes is n + 15 bytes: a 13-byte header, the data unchanged, and a
// big-endian 16-bit additive checksum (the BCC) over everything before it.
//
//   std::vector<BYTE> frame = vorn::BuildFrame(1, dna, da1, da2, sequenceId, data);
//   if (auto payload = vorn::StripFrame(frame.data(), size)) { ... *payload ... }
//
// The send path builds into its own buffer with BuildFrameHeader(WithDestination), a copy of
// the data and AppendBcc; the receive path uses CheckBcc and StripFrame.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/com.h"

namespace vorn {

inline constexpr BYTE kStartByte = 0xAB;
inline constexpr BYTE kResponseRequiredFlag = 0x80;
inline constexpr BYTE kNoResponseFlag = 0x81;

// Frame geometry: every size and offset below follows from these.
inline constexpr LONG kHeaderSize = 13, kBccSize = 2, kFrameOverhead = 15;  // n data -> n+15
inline constexpr LONG kDestinationBlockSize = 24;
inline constexpr LONG kMaxDataForLengthField = 65523;  // length field n+12 must fit 16 bits
inline constexpr LONG kMaxFrameSize = kMaxDataForLengthField + kFrameOverhead;
// The length field counts the bytes after it: response flag to BCC.
inline constexpr LONG kLengthFieldBias = kFrameOverhead - 3;
static_assert(kFrameOverhead == kHeaderSize + kBccSize);
static_assert(kMaxDataForLengthField + kLengthFieldBias == 0xFFFF);

// Header offsets.
inline constexpr LONG kDnaOffset = 6, kDa1Offset = 7, kDa2Offset = 8, kSequenceIdOffset = 12;

// A command's optional override of the three address bytes: six little-endian 32-bit
// integers (flag, value) for DNA, DA1 and DA2. A flag of exactly 1 puts the value's low byte
// into the frame; any other flag keeps the configured byte.
struct DestinationAddressBlock {
    LONG dnaFlag, dnaValue, da1Flag, da1Value, da2Flag, da2Value;

    // Reads exactly kDestinationBlockSize bytes. A null block overrides nothing.
    static DestinationAddressBlock FromBytes(const BYTE* block);
};

// Writes bytes 0..12 of a frame (the buffer holds at least kHeaderSize bytes). Only the low
// 16 bits of lengthValue (n + 12) are written; a responseRequired of exactly 1 asks for a
// reply. A null frame is left alone.
void BuildFrameHeader(LONG responseRequired, LONG lengthValue, BYTE dna, BYTE da1, BYTE da2,
                      BYTE sequenceId, BYTE* frame);

// BuildFrameHeader, then the destination block's overrides of bytes 6, 7 and 8.
void BuildFrameHeaderWithDestination(LONG responseRequired, LONG lengthValue, BYTE dna, BYTE da1,
                                     BYTE da2, BYTE sequenceId,
                                     const DestinationAddressBlock& destination, BYTE* frame);

// Sum of the first count bytes modulo 65536; 0 when count <= 0 or bytes is null.
std::uint16_t ComputeBcc(const BYTE* bytes, LONG count);

// Writes ComputeBcc of the first count bytes to frame[count] (high) and frame[count + 1]
// (low). Nothing is written for a null frame or a negative count.
void AppendBcc(BYTE* frame, LONG count);

// True when the last two bytes hold the BCC of the bytes before them. False when frame is null
// or size < 2. Only the checksum is examined, never the header fields.
bool CheckBcc(const BYTE* frame, LONG size);

// The data of a good frame (size >= 15 and CheckBcc true): bytes 13 .. size-3, as a view into
// frame; otherwise nullopt. The size, not the length field, decides the data length.
std::optional<std::span<const BYTE>> StripFrame(const BYTE* frame, LONG size);

// A whole frame in a vector, for tools and tests. Throws std::length_error when data holds more
// than kMaxDataForLengthField bytes, since its length field could not say how long it is.
std::vector<BYTE> BuildFrame(LONG responseRequired, BYTE dna, BYTE da1, BYTE da2, BYTE sequenceId,
                             std::span<const BYTE> data,
                             const DestinationAddressBlock* destination = nullptr);

}  // namespace vorn
