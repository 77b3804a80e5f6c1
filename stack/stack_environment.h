// The one process-wide object through which a test sets up and inspects the stand-in device
// stack. Every stack-services object (each protocol object creates its own) works on it.
//
//   stack::StackEnvironment& env = stack::Environment();
//   env.Reset();                                  // between tests
//   env.SetLowerLayer(lower.get());               // what every registration hands out...
//   env.QueueLowerLayer(second.get());            // ...unless one is queued for the next one
//   env.SetMessageSink(sink.get());
//   env.FailOnCall("NetworkMessage::SetData", 1, E_OUTOFMEMORY);
//   env.Log().Operations("LowerLayer");           // recorded calls, in order
//   env.Census().Live();                          // stand-ins alive
//
// Defaults after Reset(): no lower layer and no sink (RegisterLayer and GetMessageSink then
// fail with E_UNEXPECTED), stack cookie kDefaultStackCookie, first layer cookie
// kFirstLayerCookie, recording on, no faults, empty catalog.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "interfaces/stack_interfaces.h"
#include "platform/com_ptr.h"
#include "stack/call_log.h"
#include "stack/catalog_store.h"
#include "stack/fault_plan.h"
#include "stack/object_census.h"

namespace stack {

inline constexpr GUID kDefaultStackCookie{
    0x5354434b, 0x0001, 0x4a11, {0x8c, 0x00, 0x5e, 0x7a, 0x11, 0x00, 0x00, 0x01}};
inline constexpr ULONG kFirstLayerCookie = 1001;
// What RegisterLayer writes to its reserved output; the layer must not depend on it.
inline constexpr ULONG kReservedRegistrationValue = 0x52455356;

// One active registration. The pointers are not counted here.
struct Registration {
    ULONG layerCookie;
    GUID stackCookie;
    IVELDO_NetworkComms* lowerLayer;
    IVELDO_ProtocolComms* upperLayer;
    IVELDO_DeviceInfo* deviceInfo;
};

class StackEnvironment {
public:
    CallLog& Log() noexcept { return log_; }
    FaultPlan& Faults() noexcept { return faults_; }
    ObjectCensus& Census() noexcept { return census_; }
    CatalogStore& Catalog() noexcept { return catalog_; }

    void FailOnCall(std::string_view operation, unsigned n, HRESULT result) {
        faults_.FailOnCall(operation, n, result);
    }
    void FailFromCall(std::string_view operation, unsigned n, HRESULT result) {
        faults_.FailFromCall(operation, n, result);
    }
    void ReturnOnCall(std::string_view operation, unsigned n, HRESULT result) {
        faults_.ReturnOnCall(operation, n, result);
    }

    // Back to the defaults above: releases the configured objects and registrations, clears
    // the log, the faults, the reference errors, the quarantine and the catalog. Live counts
    // are not reset: they count real objects. Call it while no other thread uses the stack.
    void Reset();
    // Only the first part of Reset(): releases the configured lower layers and sink, ends the
    // registrations and empties the quarantine; the log and the counts stay for inspection.
    void ReleaseObjects();

    // The lower layer that every registration hands out (a counted reference is kept).
    void SetLowerLayer(IVELDO_NetworkComms* lowerLayer);
    // The lower layer (and optionally the stack cookie) for the next registration only;
    // queued ones are used first, in order.
    void QueueLowerLayer(IVELDO_NetworkComms* lowerLayer,
                         std::optional<GUID> stackCookie = std::nullopt);
    void SetStackCookie(const GUID& cookie);
    GUID StackCookie() const;
    void SetNextLayerCookie(ULONG cookie);
    // The sink that GetMessageSink hands out (null: GetMessageSink fails).
    void SetMessageSink(IVELDO_MessageSink* sink);

    std::vector<Registration> Registrations() const;

    // For the stack services: records a registration and hands out its lower layer (held by
    // the registration until Unregister).
    HRESULT Register(IVELDO_DeviceInfo* deviceInfo, IVELDO_ProtocolComms* upperLayer,
                     Registration* registration);
    // The lower layer of the registration that ended, or null when the cookie is unknown.
    platform::ComPtr<IVELDO_NetworkComms> Unregister(ULONG layerCookie);
    platform::ComPtr<IVELDO_MessageSink> MessageSink() const;

private:
    struct PlannedRegistration {
        platform::ComPtr<IVELDO_NetworkComms> lowerLayer;
        std::optional<GUID> stackCookie;
    };
    struct ActiveRegistration {
        Registration registration;
        platform::ComPtr<IVELDO_NetworkComms> lowerLayer;
    };

    CallLog log_;
    FaultPlan faults_;
    ObjectCensus census_;
    CatalogStore catalog_;

    mutable std::mutex lock_;
    platform::ComPtr<IVELDO_NetworkComms> lowerLayer_;  // guarded by lock_
    std::deque<PlannedRegistration> planned_;           // guarded by lock_
    std::vector<ActiveRegistration> active_;            // guarded by lock_
    platform::ComPtr<IVELDO_MessageSink> sink_;         // guarded by lock_
    GUID stackCookie_ = kDefaultStackCookie;            // guarded by lock_
    ULONG nextLayerCookie_ = kFirstLayerCookie;         // guarded by lock_
};

// The process's environment; it lives until the process ends.
StackEnvironment& Environment();

}  // namespace stack
