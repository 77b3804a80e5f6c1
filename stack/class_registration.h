// Registers the class factories of the stand-in classes with the COM runtime for as long as the
// object lives, so that CoCreateInstance finds them in-process from every thread of the
// registering thread's apartment. The thread must be initialised for COM. On Windows (and Wine)
// a thread of a single-threaded apartment (CoInitialize) does not see classes registered from
// the multithreaded one: give it a ClassRegistration of its own.
//
//   stack::ComInitialisation com;
//   stack::ClassRegistration classes;                                  // all five classes
//   stack::ClassRegistration some({stack::StandInClass::StackServices}); // all but one
//
// Registered: ProtocolMessage, NetworkMessage, StackServices, ComponentCatalog, DeviceInfo.
// Creation through a factory is the operation "<Class>::Create" (recorded, fault-injectable);
// an outer unknown is refused with CLASS_E_NOAGGREGATION.
#pragma once

#include <initializer_list>
#include <vector>

#include "platform/com.h"
#include "stack/object_census.h"

namespace stack {

class ClassRegistration {
public:
    explicit ClassRegistration(std::initializer_list<StandInClass> leaveOut = {});
    ~ClassRegistration();
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;

    // S_OK, or the first failure of CoRegisterClassObject (what did register stays registered
    // until destruction).
    HRESULT Result() const noexcept { return result_; }
    bool IsRegistered(StandInClass standInClass) const noexcept;

private:
    struct Entry {
        StandInClass standInClass;
        DWORD cookie;
    };
    std::vector<Entry> entries_;
    HRESULT result_ = S_OK;
};

}  // namespace stack
