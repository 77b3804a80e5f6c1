// Reply frames as a device would send them, so that the lower layer can answer without the
// protocol's own codec (whose behaviour the tests examine). A frame is a 13-byte header (start
// byte 0xAB, big-endian length n + 12, response flag, 0x00 0x02, three address bytes, three
// zero bytes, sequence id), n data bytes and a big-endian 16-bit sum of all bytes before it.
//
//   auto frame = stack::BuildReplyFrame(7, data);
//   frame.back() ^= 1;   // now its checksum is wrong
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/com.h"

namespace stack {

inline constexpr std::size_t kFrameHeaderSize = 13;
inline constexpr std::size_t kFrameChecksumSize = 2;

struct ReplyHeader {
    BYTE responseFlag = 0x80;
    BYTE dna = 0;
    BYTE da1 = 0;
    BYTE da2 = 0;
    BYTE sequenceId = 0;
};

// The sum of the bytes modulo 65536.
std::uint16_t FrameChecksum(std::span<const BYTE> bytes) noexcept;

// A frame with a correct checksum.
std::vector<BYTE> BuildReplyFrame(const ReplyHeader& header, std::span<const BYTE> data);
// The same with the default header (response flag 0x80, address bytes 0) and this sequence id.
std::vector<BYTE> BuildReplyFrame(BYTE sequenceId, std::span<const BYTE> data);

// The reply to a request frame: its header bytes (sequence id and addresses included) and its
// data, with the length and checksum made right. A request shorter than a header and checksum
// is answered with an empty frame.
std::vector<BYTE> EchoReplyFrame(std::span<const BYTE> request);

}  // namespace stack
