#include "stack/fault_plan.h"

#include <stdexcept>

#include "stack/operations.h"

namespace stack {

void FaultPlan::FailOnCall(std::string_view operation, unsigned n, HRESULT result) {
    Add(operation, n, {result, false}, false);
}

void FaultPlan::FailFromCall(std::string_view operation, unsigned n, HRESULT result) {
    Add(operation, n, {result, false}, true);
}

void FaultPlan::ReturnOnCall(std::string_view operation, unsigned n, HRESULT result) {
    Add(operation, n, {result, true}, false);
}

void FaultPlan::Add(std::string_view operation, unsigned n, InjectedResult injected, bool repeats) {
    if (!IsKnownOperation(operation)) {
        throw std::invalid_argument("unknown stand-in operation: " + std::string(operation));
    }
    if (n == 0) throw std::invalid_argument("calls are counted from 1");
    std::lock_guard<std::mutex> guard(lock_);
    entries_.push_back({std::string(operation), n, injected, repeats});
    any_.store(true, std::memory_order_release);
}

void FaultPlan::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.clear();
    any_.store(false, std::memory_order_release);
}

std::size_t FaultPlan::Pending() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::size_t pending = 0;
    for (const Entry& entry : entries_) {
        if (!entry.repeats) ++pending;
    }
    return pending;
}

std::optional<InjectedResult> FaultPlan::Consume(std::string_view operation) {
    if (!any_.load(std::memory_order_acquire)) return std::nullopt;
    std::lock_guard<std::mutex> guard(lock_);
    std::optional<InjectedResult> fired;
    // Every matching entry counts the call; the earliest planned one that fires decides.
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->operation != operation) {
            ++it;
            continue;
        }
        if (it->remaining > 1) {
            --it->remaining;
            ++it;
            continue;
        }
        if (!fired) fired = it->injected;
        it = it->repeats ? it + 1 : entries_.erase(it);
    }
    if (entries_.empty()) any_.store(false, std::memory_order_release);
    return fired;
}

}  // namespace stack
