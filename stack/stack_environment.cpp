#include "stack/stack_environment.h"

#include <utility>

namespace stack {

StackEnvironment& Environment() {
    // Never destroyed: worker threads and late releases may reach it while the process ends.
    static StackEnvironment* environment = new StackEnvironment;
    return *environment;
}

void StackEnvironment::Reset() {
    ReleaseObjects();
    {
        std::lock_guard<std::mutex> guard(lock_);
        stackCookie_ = kDefaultStackCookie;
        nextLayerCookie_ = kFirstLayerCookie;
    }
    faults_.Clear();
    log_.Clear();
    log_.SetEnabled(true);
    catalog_.Clear();
    census_.SetQuarantineCapacity(ObjectCensus::kDefaultQuarantine);
    census_.ResetReferenceErrors();
}

void StackEnvironment::ReleaseObjects() {
    platform::ComPtr<IVELDO_NetworkComms> lowerLayer;
    std::deque<PlannedRegistration> planned;
    std::vector<ActiveRegistration> active;
    platform::ComPtr<IVELDO_MessageSink> sink;
    {
        std::lock_guard<std::mutex> guard(lock_);
        lowerLayer.swap(lowerLayer_);
        planned.swap(planned_);
        active.swap(active_);
        sink.swap(sink_);
    }
    // Released outside the lock: a lower layer stops its thread, which may still record calls.
    lowerLayer = nullptr;
    planned.clear();
    active.clear();
    sink = nullptr;
    census_.FlushQuarantine();
}

void StackEnvironment::SetLowerLayer(IVELDO_NetworkComms* lowerLayer) {
    platform::ComPtr<IVELDO_NetworkComms> held(lowerLayer);
    std::lock_guard<std::mutex> guard(lock_);
    lowerLayer_.swap(held);
}

void StackEnvironment::QueueLowerLayer(IVELDO_NetworkComms* lowerLayer,
                                       std::optional<GUID> stackCookie) {
    PlannedRegistration plan{platform::ComPtr<IVELDO_NetworkComms>(lowerLayer), stackCookie};
    std::lock_guard<std::mutex> guard(lock_);
    planned_.push_back(std::move(plan));
}

void StackEnvironment::SetStackCookie(const GUID& cookie) {
    std::lock_guard<std::mutex> guard(lock_);
    stackCookie_ = cookie;
}

GUID StackEnvironment::StackCookie() const {
    std::lock_guard<std::mutex> guard(lock_);
    return stackCookie_;
}

void StackEnvironment::SetNextLayerCookie(ULONG cookie) {
    std::lock_guard<std::mutex> guard(lock_);
    nextLayerCookie_ = cookie;
}

void StackEnvironment::SetMessageSink(IVELDO_MessageSink* sink) {
    platform::ComPtr<IVELDO_MessageSink> held(sink);
    std::lock_guard<std::mutex> guard(lock_);
    sink_.swap(held);
}

std::vector<Registration> StackEnvironment::Registrations() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<Registration> registrations;
    for (const ActiveRegistration& active : active_) registrations.push_back(active.registration);
    return registrations;
}

HRESULT StackEnvironment::Register(IVELDO_DeviceInfo* deviceInfo, IVELDO_ProtocolComms* upperLayer,
                                   Registration* registration) {
    std::lock_guard<std::mutex> guard(lock_);
    PlannedRegistration plan;
    if (!planned_.empty()) {
        plan = std::move(planned_.front());
        planned_.pop_front();
    } else {
        plan.lowerLayer = lowerLayer_;
    }
    if (!plan.lowerLayer) return E_UNEXPECTED;
    const Registration made{nextLayerCookie_++, plan.stackCookie.value_or(stackCookie_),
                            plan.lowerLayer.get(), upperLayer, deviceInfo};
    active_.push_back({made, std::move(plan.lowerLayer)});
    *registration = made;
    return S_OK;
}

platform::ComPtr<IVELDO_NetworkComms> StackEnvironment::Unregister(ULONG layerCookie) {
    std::lock_guard<std::mutex> guard(lock_);
    for (auto it = active_.begin(); it != active_.end(); ++it) {
        if (it->registration.layerCookie == layerCookie) {
            platform::ComPtr<IVELDO_NetworkComms> lowerLayer = std::move(it->lowerLayer);
            active_.erase(it);
            return lowerLayer;
        }
    }
    return nullptr;
}

platform::ComPtr<IVELDO_MessageSink> StackEnvironment::MessageSink() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sink_;
}

}  // namespace stack
