#include "stack/call_log.h"

#include <utility>

namespace stack {

bool MatchesFilter(std::string_view operation, std::string_view filter) noexcept {
    if (filter.empty()) return true;
    if (filter.find("::") != std::string_view::npos) return operation == filter;
    return operation.size() > filter.size() + 2 && operation.substr(0, filter.size()) == filter &&
           operation.substr(filter.size(), 2) == "::";
}

void CallLog::Record(CallRecord record) {
    std::lock_guard<std::mutex> guard(lock_);
    records_.push_back(std::move(record));
}

void CallLog::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    records_.clear();
}

std::vector<CallRecord> CallLog::Calls(std::string_view filter) const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<CallRecord> selected;
    for (const CallRecord& record : records_) {
        if (MatchesFilter(record.operation, filter)) selected.push_back(record);
    }
    return selected;
}

std::vector<std::string> CallLog::Operations(std::string_view filter) const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> names;
    for (const CallRecord& record : records_) {
        if (MatchesFilter(record.operation, filter)) names.push_back(record.operation);
    }
    return names;
}

std::size_t CallLog::Count(std::string_view filter) const {
    std::lock_guard<std::mutex> guard(lock_);
    std::size_t count = 0;
    for (const CallRecord& record : records_) {
        if (MatchesFilter(record.operation, filter)) ++count;
    }
    return count;
}

}  // namespace stack
