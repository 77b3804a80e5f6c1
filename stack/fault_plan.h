// Scripted failures of stand-in operations. Operation names are "<Class>::<Method>" for every
// interface method of every stand-in, plus "<Class>::Create" for creation through the class
// factories ("NetworkMessage::Create" makes CoCreateInstance of that class fail).
//
//   plan.FailOnCall("NetworkMessage::SetData", 2, E_OUTOFMEMORY);  // the 2nd call from now
//   plan.FailFromCall("StackServices::GetMessageSink", 1, E_FAIL);  // every call from now
//   plan.ReturnOnCall("LowerLayer::AttachDevice", 1, S_FALSE);      // runs, then says S_FALSE
//
// A failed call does nothing else (no output, no effect); interface-pointer outputs are still
// nulled, as COM requires. Counting is per operation across all objects and threads. An
// unknown operation name or n = 0 throws std::invalid_argument, so a typo cannot make a test
// pass silently.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com.h"

namespace stack {

struct InjectedResult {
    HRESULT result;
    bool operationRuns;  // ReturnOnCall: the operation runs and its result is replaced
};

class FaultPlan {
public:
    void FailOnCall(std::string_view operation, unsigned n, HRESULT result);
    void FailFromCall(std::string_view operation, unsigned n, HRESULT result);
    void ReturnOnCall(std::string_view operation, unsigned n, HRESULT result);
    void Clear();

    // One-shot entries that have not fired yet.
    std::size_t Pending() const;

    // Counts one call of the operation; the result to inject, if this call is planned.
    std::optional<InjectedResult> Consume(std::string_view operation);

private:
    struct Entry {
        std::string operation;
        unsigned remaining;  // calls until it fires; stays at 1 once a repeating entry fired
        InjectedResult injected;
        bool repeats;
    };

    void Add(std::string_view operation, unsigned n, InjectedResult injected, bool repeats);

    std::atomic<bool> any_{false};  // lets unplanned calls skip the lock
    mutable std::mutex lock_;
    std::vector<Entry> entries_;  // guarded by lock_
};

}  // namespace stack
