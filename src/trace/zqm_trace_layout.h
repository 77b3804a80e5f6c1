// The byte layout of the shared trace area and the names of the kernel objects that go with it,
// shared by the writer (the trace facility in every process that loads the component) and the
// consumer (the trace viewer). Integers in the area are 32-bit, signed and little-endian; read
// and write them with LoadInt32 and StoreInt32, and the enable byte, which writers read without
// the mutex, with LoadEnabled and StoreEnabled.
//
//   byte 0        enabled       0 = off, anything else = on
//   bytes 1-35    filter        NUL-terminated text, at most 34 characters
//   bytes 36-39   pendingCount  lines stored and not yet taken
//   bytes 40-43   writeIndex    slot that receives the next line
//   bytes 44-47   reserved      never touched by writers
//   byte 48 on    slots         1000 slots of 513 bytes: a line of at most 512 characters + NUL
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

inline constexpr const char* ZQM_TRACE_AREA_NAME = "_ZQM_TraceOutput";
inline constexpr const char* ZQM_TRACE_MUTEX_NAME = "_ZQM_TraceMutex";
inline constexpr const char* ZQM_TRACE_EVENT_NAME = "_ZQM_TraceEvent";

inline constexpr std::size_t ZQM_TRACE_ENABLED_OFFSET = 0;
inline constexpr std::size_t ZQM_TRACE_FILTER_OFFSET = 1;
inline constexpr std::size_t ZQM_TRACE_FILTER_SIZE = 35;
inline constexpr std::size_t ZQM_TRACE_FILTER_MAX = 34;  // characters before the NUL
inline constexpr std::size_t ZQM_TRACE_PENDING_OFFSET = 36;
inline constexpr std::size_t ZQM_TRACE_WRITE_INDEX_OFFSET = 40;
inline constexpr std::size_t ZQM_TRACE_RESERVED_OFFSET = 44;
inline constexpr std::size_t ZQM_TRACE_RING_START = 48;
inline constexpr std::int32_t ZQM_TRACE_SLOT_COUNT = 1000;
inline constexpr std::size_t ZQM_TRACE_SLOT_SIZE = 513;
inline constexpr std::size_t ZQM_TRACE_MAX_LINE = 512;
inline constexpr std::int32_t ZQM_TRACE_HIGH_WATER = 900;
inline constexpr std::size_t ZQM_TRACE_AREA_SIZE =
    ZQM_TRACE_RING_START + static_cast<std::size_t>(ZQM_TRACE_SLOT_COUNT) * ZQM_TRACE_SLOT_SIZE;
static_assert(ZQM_TRACE_AREA_SIZE == 513048);

// Size of the buffer each trace call formats its text into; longer texts are cut there.
inline constexpr std::size_t ZQM_TRACE_FORMAT_BUFFER = 32000;

namespace zqm {

inline std::int32_t LoadInt32(const unsigned char* at) noexcept {
    const std::uint32_t value =
        static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
        (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
    return static_cast<std::int32_t>(value);
}

inline void StoreInt32(unsigned char* at, std::int32_t signedValue) noexcept {
    const auto value = static_cast<std::uint32_t>(signedValue);
    at[0] = static_cast<unsigned char>(value & 0xFFu);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFFu);
    at[2] = static_cast<unsigned char>((value >> 16) & 0xFFu);
    at[3] = static_cast<unsigned char>((value >> 24) & 0xFFu);
}

inline unsigned char LoadEnabled(unsigned char* area) noexcept {
    return std::atomic_ref<unsigned char>(area[ZQM_TRACE_ENABLED_OFFSET])
        .load(std::memory_order_relaxed);
}

inline void StoreEnabled(unsigned char* area, unsigned char value) noexcept {
    std::atomic_ref<unsigned char>(area[ZQM_TRACE_ENABLED_OFFSET])
        .store(value, std::memory_order_relaxed);
}

// Start of slot `index` (0 to 999).
inline unsigned char* SlotAt(unsigned char* area, std::int32_t index) noexcept {
    return area + ZQM_TRACE_RING_START + static_cast<std::size_t>(index) * ZQM_TRACE_SLOT_SIZE;
}

}  // namespace zqm
