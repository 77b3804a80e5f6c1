// Fuzzes the frame checks and the vorn-frame command line with arbitrary bytes. Each input is
// handed over as an exactly-sized heap block so that ASan sees any read past it.
//
//   cmake --preset fuzz && cmake --build --preset fuzz
//   build/fuzz/fuzz/vorn_frame_fuzzer -max_total_time=60
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/vorn_frame.h"
#include "vorn_frame_cli.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void FuzzFrameChecks(const std::uint8_t* data, std::size_t size) {
    const auto length = static_cast<LONG>(size);
    auto block = std::make_unique<BYTE[]>(size);
    if (size > 0) std::memcpy(block.get(), data, size);

    const bool good = vorn::CheckBcc(block.get(), length);
    const auto stripped = vorn::StripFrame(block.get(), length);
    Require(!good || length >= vorn::kBccSize);
    if (stripped) {
        Require(good && length >= vorn::kFrameOverhead);
        Require(stripped->data() == block.get() + vorn::kHeaderSize);
        Require(stripped->size() == size - static_cast<std::size_t>(vorn::kFrameOverhead));
    } else {
        Require(!good || length < vorn::kFrameOverhead);
    }
    // Writing the checksum over the same bytes makes any block of two or more bytes good.
    if (length >= vorn::kBccSize) {
        vorn::AppendBcc(block.get(), length - vorn::kBccSize);
        Require(vorn::CheckBcc(block.get(), length));
        Require(good == (std::memcmp(block.get(), data, size) == 0));
    }
}

void FuzzCommandLine(const std::uint8_t* data, std::size_t size) {
    // NUL bytes split the input into argument words.
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> words;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\0', at), text.size());
        words.emplace_back(text.data() + at, end - at);
        at = end + 1;
    }

    std::string error;
    if (const auto bytes = vorn::cli::ParseHex(words, &error)) {
        const std::string formatted = vorn::cli::FormatHex(*bytes);
        const std::string_view again[] = {formatted};
        Require(vorn::cli::ParseHex(again, &error) == bytes);
    }
    const vorn::cli::Outcome outcome = vorn::cli::Run(words);
    Require(outcome.exitCode >= 0 && outcome.exitCode <= 2);
    Require((outcome.exitCode == 2) == !outcome.err.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzFrameChecks(data, size);
    FuzzCommandLine(data, size);
    return 0;
}
