#include "stack/reply_frames.h"

#include <array>

namespace stack {
namespace {

void FinishFrame(std::vector<BYTE>& frame) {
    const std::size_t following = frame.size() - 3 + kFrameChecksumSize;
    frame[1] = static_cast<BYTE>((following >> 8) & 0xFF);
    frame[2] = static_cast<BYTE>(following & 0xFF);
    const std::uint16_t sum = FrameChecksum(frame);
    frame.push_back(static_cast<BYTE>(sum >> 8));
    frame.push_back(static_cast<BYTE>(sum & 0xFF));
}

}  // namespace

std::uint16_t FrameChecksum(std::span<const BYTE> bytes) noexcept {
    std::uint32_t sum = 0;
    for (BYTE b : bytes) sum += b;
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

std::vector<BYTE> BuildReplyFrame(const ReplyHeader& header, std::span<const BYTE> data) {
    const std::array<BYTE, kFrameHeaderSize> head = {
        0xAB, 0x00, 0x00, header.responseFlag, 0x00, 0x02, header.dna, header.da1, header.da2,
        0x00, 0x00, 0x00, header.sequenceId};
    std::vector<BYTE> frame(head.begin(), head.end());
    for (BYTE b : data) frame.push_back(b);
    FinishFrame(frame);
    return frame;
}

std::vector<BYTE> BuildReplyFrame(BYTE sequenceId, std::span<const BYTE> data) {
    ReplyHeader header;
    header.sequenceId = sequenceId;
    return BuildReplyFrame(header, data);
}

std::vector<BYTE> EchoReplyFrame(std::span<const BYTE> request) {
    if (request.size() < kFrameHeaderSize + kFrameChecksumSize)
        return BuildReplyFrame(ReplyHeader{}, {});
    std::vector<BYTE> frame(request.begin(), request.end() - kFrameChecksumSize);
    FinishFrame(frame);
    return frame;
}

}  // namespace stack
