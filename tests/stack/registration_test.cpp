// Registration of the stand-in classes with the COM runtime: CoCreateInstance finds them with
// the class contexts the layer uses, from the test thread and from another thread of the
// multithreaded apartment, and no longer once left out or revoked.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "interfaces/vorn_ids.h"
#include "stack/class_registration.h"
#include "stack/com_initialisation.h"
#include "stack/testing/stack_test.h"

namespace {

class RegistrationTest : public stack::testing::StackTest {};

struct Creatable {
    const CLSID* clsid;
    const IID* iid;
};

const Creatable kClasses[] = {
    {&CLSID_ProtocolMessage, &IID_IVELDO_ProtocolMessage},
    {&CLSID_NetworkMessage, &IID_IVELDO_NetworkMessage},
    {&CLSID_StackServices, &IID_IVELDO_StackServices},
    {&CLSID_ComponentCatalog, &IID_IVELDO_ComponentCatalog},
    {&CLSID_DeviceInfo, &IID_IVELDO_DeviceInfo},
};

// CoCreateInstance of every class with CLSCTX_ALL (0x17) and class context 3.
std::vector<HRESULT> CreateAll() {
    std::vector<HRESULT> results;
    for (const Creatable& c : kClasses) {
        for (DWORD context : {DWORD{0x17}, DWORD{3}}) {
            platform::ComPtr<IUnknown> object;
            results.push_back(
                CoCreateInstance(*c.clsid, nullptr, context, *c.iid, object.put_void()));
        }
    }
    return results;
}

TEST_F(RegistrationTest, EveryClassIsCreatableFromThisAndAnotherThreadOfTheApartment) {
    const std::vector<HRESULT> allCreated(std::size(kClasses) * 2, S_OK);
    EXPECT_EQ(CreateAll(), allCreated);

    std::vector<HRESULT> fromOtherThread;
    std::thread other([&] {
        const stack::ComInitialisation com(COINIT_MULTITHREADED);
        fromOtherThread = CreateAll();
    });
    other.join();
    EXPECT_EQ(fromOtherThread, allCreated);
    ExpectAllReleased();
}

TEST_F(RegistrationTest, LeftOutAndRevokedClassesAreNotCreatable) {
    RegisterClassesExcept({stack::StandInClass::StackServices});
    platform::ComPtr<IVELDO_StackServices> services;
    EXPECT_EQ(CoCreateInstance(CLSID_StackServices, nullptr, CLSCTX_ALL, IID_IVELDO_StackServices,
                               services.put_void()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(services.get(), nullptr);
    platform::ComPtr<IVELDO_NetworkMessage> message;
    EXPECT_EQ(CoCreateInstance(CLSID_NetworkMessage, nullptr, 3, IID_IVELDO_NetworkMessage,
                               message.put_void()),
              S_OK);
    message = nullptr;

    {
        // A second registration of the same classes revokes only its own on destruction.
        stack::ClassRegistration nested({stack::StandInClass::NetworkMessage});
        EXPECT_EQ(nested.Result(), S_OK);
        EXPECT_TRUE(nested.IsRegistered(stack::StandInClass::StackServices));
        EXPECT_FALSE(nested.IsRegistered(stack::StandInClass::NetworkMessage));
    }
    EXPECT_EQ(CoCreateInstance(CLSID_StackServices, nullptr, CLSCTX_ALL, IID_IVELDO_StackServices,
                               services.put_void()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_NetworkMessage, nullptr, 3, IID_IVELDO_NetworkMessage,
                               message.put_void()),
              S_OK);
    message = nullptr;
    ExpectAllReleased();
}

}  // namespace
