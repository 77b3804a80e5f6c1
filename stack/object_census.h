// Live-object counts of the stand-in classes and the reference errors seen on them.
//
// An object counts as live from construction until its reference count reaches 0. It is then
// emptied (its references and threads are dropped) but its memory is kept in a bounded
// quarantine, so that one more Release or AddRef on it is counted as a reference error instead
// of touching freed memory. Environment().Reset() empties the quarantine.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string_view>

namespace stack {

enum class StandInClass {
    ProtocolMessage,
    NetworkMessage,
    DeviceInfo,
    ConfigurationSource,
    StackServices,
    LowerLayer,
    MessageSink,
    ComponentCatalog,
};
inline constexpr std::size_t kStandInClassCount = 8;

// "ProtocolMessage", "NetworkMessage", ...: the class part of the operation names.
std::string_view ClassName(StandInClass standInClass) noexcept;

class StandInRoot;

class ObjectCensus {
public:
    // How many emptied objects are kept to catch late releases (default 1024; 0 frees at once).
    static constexpr std::size_t kDefaultQuarantine = 1024;

    long Live(StandInClass standInClass) const noexcept;
    long Live() const noexcept;

    // Release or AddRef on an object whose count had reached 0 (or would go below it).
    long ReferenceErrors() const noexcept;

    void SetQuarantineCapacity(std::size_t capacity);
    void FlushQuarantine();
    void ResetReferenceErrors() noexcept;

    // Used by the stand-in objects themselves.
    void Born(StandInClass standInClass) noexcept;
    void Died(StandInClass standInClass) noexcept;
    void CountReferenceError() noexcept;
    // Takes over an emptied object: keeps it in quarantine or deletes it.
    void Bury(StandInRoot* object) noexcept;

private:
    std::array<std::atomic<long>, kStandInClassCount> live_{};
    std::atomic<long> referenceErrors_{0};
    std::mutex lock_;
    std::deque<StandInRoot*> quarantine_;        // guarded by lock_
    std::size_t capacity_ = kDefaultQuarantine;  // guarded by lock_
};

}  // namespace stack
