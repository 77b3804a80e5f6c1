// The ordered record of every call of a stand-in operation, across all objects and threads.
//
//   env.Log().Operations("LowerLayer")            // {"LowerLayer::AttachDevice", ...}
//   env.Log().Calls("NetworkMessage::SetData")    // records with their argument texts
//
// A filter is either a whole operation name ("Class::Method") or a class name ("Class"); an
// empty filter takes everything. Recording can be switched off (benchmarks); fault injection
// works either way.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com.h"

namespace stack {

struct CallRecord {
    std::string operation;  // "NetworkMessage::SetData"
    std::string arguments;  // "size=3 data=12 34 56"
    const void* object;     // the stand-in's identity (its first interface)
    bool injected;          // the call's result came from the fault plan
    HRESULT injectedResult;
};

class CallLog {
public:
    void SetEnabled(bool enabled) noexcept { enabled_.store(enabled, std::memory_order_relaxed); }
    bool Enabled() const noexcept { return enabled_.load(std::memory_order_relaxed); }

    void Record(CallRecord record);
    void Clear();

    std::vector<CallRecord> Calls(std::string_view filter = {}) const;
    std::vector<std::string> Operations(std::string_view filter = {}) const;
    std::size_t Count(std::string_view filter = {}) const;

private:
    std::atomic<bool> enabled_{true};
    mutable std::mutex lock_;
    std::vector<CallRecord> records_;  // guarded by lock_
};

// True when the operation name passes the filter described above.
bool MatchesFilter(std::string_view operation, std::string_view filter) noexcept;

}  // namespace stack
