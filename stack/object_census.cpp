#include "stack/object_census.h"

#include <utility>
#include <vector>

#include "stack/standin_object.h"

namespace stack {
namespace {

std::size_t Index(StandInClass standInClass) noexcept {
    return static_cast<std::size_t>(standInClass);
}

void DeleteAll(const std::vector<StandInRoot*>& objects) noexcept {
    for (StandInRoot* object : objects) delete object;
}

}  // namespace

std::string_view ClassName(StandInClass standInClass) noexcept {
    switch (standInClass) {
        case StandInClass::ProtocolMessage:
            return "ProtocolMessage";
        case StandInClass::NetworkMessage:
            return "NetworkMessage";
        case StandInClass::DeviceInfo:
            return "DeviceInfo";
        case StandInClass::ConfigurationSource:
            return "ConfigurationSource";
        case StandInClass::StackServices:
            return "StackServices";
        case StandInClass::LowerLayer:
            return "LowerLayer";
        case StandInClass::MessageSink:
            return "MessageSink";
        case StandInClass::ComponentCatalog:
            return "ComponentCatalog";
    }
    return "?";
}

long ObjectCensus::Live(StandInClass standInClass) const noexcept {
    return live_[Index(standInClass)].load(std::memory_order_acquire);
}

long ObjectCensus::Live() const noexcept {
    long total = 0;
    for (const auto& count : live_) total += count.load(std::memory_order_acquire);
    return total;
}

long ObjectCensus::ReferenceErrors() const noexcept {
    return referenceErrors_.load(std::memory_order_acquire);
}

void ObjectCensus::ResetReferenceErrors() noexcept {
    referenceErrors_.store(0);
}

void ObjectCensus::Born(StandInClass standInClass) noexcept {
    live_[Index(standInClass)].fetch_add(1, std::memory_order_acq_rel);
}

void ObjectCensus::Died(StandInClass standInClass) noexcept {
    live_[Index(standInClass)].fetch_sub(1, std::memory_order_acq_rel);
}

void ObjectCensus::CountReferenceError() noexcept {
    referenceErrors_.fetch_add(1, std::memory_order_acq_rel);
}

void ObjectCensus::Bury(StandInRoot* object) noexcept {
    StandInRoot* evicted = nullptr;
    try {
        std::lock_guard<std::mutex> guard(lock_);
        quarantine_.push_back(object);
        object = nullptr;
        if (quarantine_.size() > capacity_) {
            evicted = quarantine_.front();
            quarantine_.pop_front();
        }
    } catch (...) {
        // No room to remember it: free it now and lose only the late-release check.
    }
    delete object;
    delete evicted;  // outside the lock: a destructor may release other stand-ins
}

void ObjectCensus::SetQuarantineCapacity(std::size_t capacity) {
    std::vector<StandInRoot*> evicted;
    {
        std::lock_guard<std::mutex> guard(lock_);
        capacity_ = capacity;
        while (quarantine_.size() > capacity_) {
            evicted.push_back(quarantine_.front());
            quarantine_.pop_front();
        }
    }
    DeleteAll(evicted);
}

void ObjectCensus::FlushQuarantine() {
    std::vector<StandInRoot*> evicted;
    {
        std::lock_guard<std::mutex> guard(lock_);
        evicted.assign(quarantine_.begin(), quarantine_.end());
        quarantine_.clear();
    }
    DeleteAll(evicted);
}

}  // namespace stack
