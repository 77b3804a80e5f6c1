// The protocol object's life: creation, its COM identity, Initialise and UnInitialise with their
// calls out and failures, the three states, and the entry barrier.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "../interfaces/interface_tables.h"
#include "allocation_failure.h"
#include "protocol/entry_barrier.h"
#include "protocol_fixture.h"
#include "stack/text_format.h"

namespace protocol_tests {
namespace {

using Operations = std::vector<std::string>;

const Operations kInitialiseCalls = {"DeviceInfo::GetUnknown",
                                     "ConfigurationSource::GetConfigurationText",
                                     "StackServices::RegisterLayer", "LowerLayer::AttachDevice"};
const Operations kUnInitialiseCalls = {"LowerLayer::Disconnect", "LowerLayer::DetachDevice",
                                       "StackServices::UnregisterLayer"};

class LifecycleTest : public ProtocolTest {
protected:
    // What a call record says about its arguments.
    std::vector<std::string> Arguments() {
        std::vector<std::string> arguments;
        for (const stack::CallRecord& call : env().Log().Calls()) {
            arguments.push_back(call.operation + " " + call.arguments);
        }
        return arguments;
    }

    // Whether the layer may send: the one observable difference between the states, together
    // with what UnInitialise has to undo.
    static bool CanSend(Device& device) {
        return SUCCEEDED(device.layer->Send(Command(0, 0).get()));
    }
};

TEST_F(LifecycleTest, InitialiseAndUnInitialiseCallOutInOrderWithTheirArguments) {
    Device device = NewDevice();
    env().Log().Clear();
    auto* info = static_cast<IVELDO_DeviceInfo*>(device.info.get());
    const std::string device_ = stack::FormatPointer(info);

    EXPECT_EQ(device.layer->Initialise(info), S_OK);
    EXPECT_EQ(Arguments(), (Operations{"DeviceInfo::GetUnknown iid=IID_IVELDO_ConfigurationSource",
                                       "ConfigurationSource::GetConfigurationText options=",
                                       "StackServices::RegisterLayer device=" + device_ +
                                           " layer=" + stack::FormatPointer(device.layer.get()),
                                       "LowerLayer::AttachDevice device=" + device_}));
    EXPECT_EQ(Lines(), (TraceLines{"CVORNProtocol::Initialise()\n"}));
    EXPECT_EQ(device.info->References(), 2);

    env().Log().Clear();
    EXPECT_EQ(device.layer->UnInitialise(), S_OK);
    EXPECT_EQ(Arguments(), (Operations{"LowerLayer::Disconnect cookie=" +
                                           stack::GuidText(stack::kDefaultStackCookie),
                                       "LowerLayer::DetachDevice device=" + device_,
                                       "StackServices::UnregisterLayer device=" + device_ +
                                           " cookie=" + std::to_string(stack::kFirstLayerCookie)}));
    EXPECT_EQ(device.info->References(), 1);
    EXPECT_TRUE(Lines().empty());

    env().Log().Clear();
    EXPECT_EQ(device.layer->UnInitialise(), S_OK);
    EXPECT_EQ(env().Log().Count(), 0u);
    EXPECT_EQ(device.layer->Send(Command(0).get()), E_FAIL);
    EXPECT_EQ(Lines(), (TraceLines{"CVORNProtocol::Send() IN\n",
                                   "ERROR: CVORNProtocol::NOT initialised\n"}));
    Shutdown(device);
}

// Each state: whether the layer sends and delivers, what UnInitialise undoes, and what a
// further Initialise does there.
TEST_F(LifecycleTest, StatesDecideWhatEachOperationDoes) {
    struct Case {
        const char* name;
        std::function<void(Device&)> reach;
        bool sends;
        Operations unInitialiseCalls;
    };
    const std::vector<Case> cases = {
        {"new object (Detached)", [](Device&) {}, false, {}},
        {"after UnInitialise (Detached)",
         [](Device& d) {
             d.layer->Initialise(d.info.get());
             d.layer->UnInitialise();
         },
         false,
         {}},
        {"AttachDevice failed (Registered)",
         [this](Device& d) {
             env().FailOnCall("LowerLayer::AttachDevice", 1, E_ACCESSDENIED);
             d.layer->Initialise(d.info.get());
         },
         false, kUnInitialiseCalls},
        {"Initialise succeeded (Initialised)", [](Device& d) { d.layer->Initialise(d.info.get()); },
         true, kUnInitialiseCalls},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = NewDevice();
        c.reach(device);
        EXPECT_EQ(SUCCEEDED(device.layer->Send(Command(5).get())), c.sends);

        // A reply reaches the layer above only while initialised.
        EXPECT_EQ(device.layer->Receive(ReplyMessage(5, Bytes(15, 0)).get()), S_OK);
        EXPECT_EQ(device.sink->Deliveries().size(), c.sends ? 1u : 0u);

        env().Log().Clear();
        EXPECT_EQ(device.layer->UnInitialise(), S_OK);
        EXPECT_EQ(env().Log().Operations(), c.unInitialiseCalls);
        EXPECT_EQ(device.info->References(), 1);
        EXPECT_FALSE(CanSend(device));
        Lines();
        Shutdown(device);
    }
}

TEST_F(LifecycleTest, SecondInitialiseFailsWithoutCallingOut) {
    Device device = InitialisedDevice();
    EXPECT_EQ(device.layer->Initialise(device.info.get()), E_FAIL);
    EXPECT_EQ(env().Log().Count(), 0u);
    EXPECT_EQ(Lines(),
              (TraceLines{"CVORNProtocol::Initialise()\n",
                          "ERROR: CVORNProtocol::Initialise() FAILED - multiple calling\n"}));
    EXPECT_EQ(device.info->References(), 2);
    EXPECT_TRUE(CanSend(device));
    Shutdown(device);
}

TEST_F(LifecycleTest, InitialiseFailuresLeaveTheStateTheirStepReached) {
    struct Case {
        const char* name;
        std::function<void(Device&)> arrange;
        HRESULT result;
        Operations calls;
        bool registered;  // the registration stays until UnInitialise
        bool initialised;
    };
    const Operations reading(kInitialiseCalls.begin(), kInitialiseCalls.begin() + 2);
    const Operations registering(kInitialiseCalls.begin(), kInitialiseCalls.begin() + 3);
    const std::vector<Case> cases = {
        {"GetUnknown fails",
         [this](Device&) { env().FailOnCall("DeviceInfo::GetUnknown", 1, E_ACCESSDENIED); },
         E_ACCESSDENIED,
         {"DeviceInfo::GetUnknown"},
         false,
         false},
        {"no configuration source",
         [](Device& d) { d.info->RemoveConfigurationSource(); },
         E_FAIL,
         {"DeviceInfo::GetUnknown"},
         false,
         false},
        {"GetConfigurationText fails",
         [this](Device&) {
             env().FailOnCall("ConfigurationSource::GetConfigurationText", 1, E_UNEXPECTED);
         },
         E_UNEXPECTED, reading, false, false},
        {"a setting is missing",
         [](Device& d) {
             d.info->SetConfigurationText(platform::WideString(WIDE("[NET]\r\nTMO=300\r\n")));
         },
         E_FAIL, reading, false, false},
        {"RegisterLayer fails",
         [this](Device&) { env().FailOnCall("StackServices::RegisterLayer", 1, E_ACCESSDENIED); },
         E_ACCESSDENIED, registering, false, false},
        {"AttachDevice fails",
         [this](Device&) { env().FailOnCall("LowerLayer::AttachDevice", 1, E_ACCESSDENIED); },
         E_ACCESSDENIED, kInitialiseCalls, true, false},
        {"AttachDevice says S_FALSE",
         [this](Device&) { env().ReturnOnCall("LowerLayer::AttachDevice", 1, S_FALSE); }, S_FALSE,
         kInitialiseCalls, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = NewDevice();
        env().Log().Clear();
        c.arrange(device);
        EXPECT_EQ(device.layer->Initialise(device.info.get()), c.result);
        EXPECT_EQ(env().Log().Operations(), c.calls);
        EXPECT_EQ(Lines(), (TraceLines{"CVORNProtocol::Initialise()\n"}));
        EXPECT_EQ(device.info->References(), c.registered ? 2 : 1);
        EXPECT_EQ(env().Registrations().size(), c.registered ? 1u : 0u);
        EXPECT_EQ(CanSend(device), c.initialised);

        env().Log().Clear();
        device.layer->UnInitialise();
        EXPECT_EQ(env().Log().Operations(), c.registered ? kUnInitialiseCalls : Operations{});
        Lines();
        Shutdown(device);
    }
}

TEST_F(LifecycleTest, InitialiseWithoutDeviceFailsWithoutEffect) {
    Device device = NewDevice();
    env().Log().Clear();
    EXPECT_EQ(device.layer->Initialise(nullptr), E_POINTER);
    EXPECT_EQ(env().Log().Count(), 0u);

    // Also in the Registered state: the earlier registration stays for UnInitialise.
    env().FailOnCall("LowerLayer::AttachDevice", 1, E_ACCESSDENIED);
    device.layer->Initialise(device.info.get());
    env().Log().Clear();
    EXPECT_EQ(device.layer->Initialise(nullptr), E_POINTER);
    EXPECT_EQ(env().Log().Count(), 0u);
    EXPECT_EQ(device.info->References(), 2);
    Lines();
    Shutdown(device);
}

TEST_F(LifecycleTest, InitialiseAfterAFailedAttachUndoesTheEarlierRegistration) {
    Device device = NewDevice();
    env().FailOnCall("LowerLayer::AttachDevice", 1, E_ACCESSDENIED);
    device.layer->Initialise(device.info.get());
    env().Log().Clear();

    EXPECT_EQ(device.layer->Initialise(device.info.get()), S_OK);
    Operations expected = kUnInitialiseCalls;
    expected.insert(expected.end(), kInitialiseCalls.begin(), kInitialiseCalls.end());
    EXPECT_EQ(env().Log().Operations(), expected);
    EXPECT_EQ(device.info->References(), 2);
    ASSERT_EQ(env().Registrations().size(), 1u);
    EXPECT_EQ(env().Registrations()[0].layerCookie, stack::kFirstLayerCookie + 1);
    EXPECT_TRUE(CanSend(device));
    Lines();
    Shutdown(device);
}

TEST_F(LifecycleTest, UnInitialiseStopsAtTheFirstFailedCallAndDetachesAnyway) {
    for (std::size_t failing = 0; failing < kUnInitialiseCalls.size(); ++failing) {
        SCOPED_TRACE(kUnInitialiseCalls[failing]);
        Device device = InitialisedDevice();
        MakePending(device, 5);
        env().Log().Clear();
        env().FailOnCall(kUnInitialiseCalls[failing], 1, E_ACCESSDENIED);

        EXPECT_EQ(device.layer->UnInitialise(), E_ACCESSDENIED);
        EXPECT_EQ(
            env().Log().Operations(),
            Operations(kUnInitialiseCalls.begin(),
                       kUnInitialiseCalls.begin() + static_cast<std::ptrdiff_t>(failing) + 1));
        EXPECT_EQ(device.info->References(), 1);
        EXPECT_FALSE(CanSend(device));

        // Detached: nothing left to undo, and the id pending before is gone for good.
        env().Log().Clear();
        EXPECT_EQ(device.layer->UnInitialise(), S_OK);
        EXPECT_EQ(env().Log().Count(), 0u);
        env().ReleaseObjects();
        env().SetLowerLayer(device.lower.get());
        env().SetMessageSink(device.sink.get());
        ASSERT_EQ(device.layer->Initialise(device.info.get()), S_OK);
        device.layer->Receive(ReplyMessage(5, Bytes(15, 0)).get());
        EXPECT_TRUE(device.sink->Deliveries().empty());
        Lines();
        Shutdown(device);
    }
}

TEST_F(LifecycleTest, CreationFailsWhenStackServicesOrMarshalerCannotBeMade) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        HRESULT result;
    };
    const std::vector<Case> cases = {
        {"stack services fail",
         [this] { env().FailOnCall("StackServices::Create", 1, E_ACCESSDENIED); }, E_ACCESSDENIED},
        {"stack services not registered",
         [this] { RegisterClassesExcept({stack::StandInClass::StackServices}); },
         REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        ComPtr<IVELDO_ProtocolComms> layer;
        EXPECT_EQ(
            module::CreatePlainInstance<CVORNProtocol>(IID_IVELDO_ProtocolComms, layer.put_void()),
            c.result);
        EXPECT_FALSE(layer);
        EXPECT_EQ(module::ModuleLock::Count(), 0);
        RegisterClassesExcept({});
    }
    ExpectAllReleased();
}

// The registry is the one allocation of construction that is the layer's own; the others fail
// in the allocator, in the stack services and in the marshaler. All of them end in
// E_OUTOFMEMORY with nothing left behind.
TEST_F(LifecycleTest, CreationRunningOutOfMemoryFailsCleanly) {
    for (long n = 1;; ++n) {
        SCOPED_TRACE(n);
        ComPtr<IVELDO_ProtocolComms> layer;
        HRESULT hr = E_FAIL;
        bool failed = false;
        {
            testing_support::ScopedAllocationFailure failure(n);
            hr = module::CreatePlainInstance<CVORNProtocol>(IID_IVELDO_ProtocolComms,
                                                            layer.put_void());
            failed = failure.Happened();
        }
        if (!failed) {
            EXPECT_EQ(hr, S_OK);
            break;
        }
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        EXPECT_FALSE(layer);
        EXPECT_EQ(module::ModuleLock::Count(), 0);
    }
    ExpectAllReleased();
    EXPECT_EQ(module::ModuleLock::Count(), 0);
}

TEST_F(LifecycleTest, AnswersItsTwoInterfacesAndTheMarshalersIMarshal) {
    ComPtr<IVELDO_ProtocolComms> layer = CreateLayer();
    ComPtr<IUnknown> identity;
    ComPtr<IVELDO_RuntimeInformation> runtime;
    ComPtr<IMarshal> marshal;
    ComPtr<IUnknown> nothing;
    ASSERT_EQ(layer.query_to(&identity), S_OK);
    ASSERT_EQ(layer.query_to(&runtime), S_OK);
    ASSERT_EQ(layer.query_to(&marshal), S_OK);
    EXPECT_EQ(identity.get(), static_cast<IUnknown*>(layer.get()));
    // Every interface leads back to the one identity, the marshaler's included.
    for (IUnknown* unknown :
         {static_cast<IUnknown*>(runtime.get()), static_cast<IUnknown*>(marshal.get())}) {
        ComPtr<IUnknown> back;
        ASSERT_EQ(unknown->QueryInterface(IID_IUnknown, back.put_void()), S_OK);
        EXPECT_EQ(back.get(), identity.get());
    }
    EXPECT_EQ(layer->QueryInterface(IID_IClassFactory, nothing.put_void()), E_NOINTERFACE);
    EXPECT_FALSE(nothing);
    EXPECT_EQ(layer->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // The controlling unknown follows SamePhysicalTarget in the first table.
    EXPECT_EQ(interface_tables::VtableOffset(&CVORNProtocol::GetControllingUnknown),
              interface_tables::VtableSize<IVELDO_ProtocolComms>());

    layer = nullptr;
    identity = nullptr;
    runtime = nullptr;
    marshal = nullptr;
    EXPECT_EQ(module::ModuleLock::Count(), 0);
    ExpectAllReleased();
}

TEST(EntryBarrierTest, TurnsTheSupportLibrarysErrorIntoTheResultAndRestoresTheHandler) {
    const std::new_handler before = std::get_new_handler();
    struct Case {
        const char* name;
        std::function<HRESULT()> worker;
        HRESULT result;
    };
    const std::vector<Case> cases = {
        {"result passes", [] { return S_FALSE; }, S_FALSE},
        {"support-library error", []() -> HRESULT { throw VLX_RuntimeError(E_ACCESSDENIED); },
         E_ACCESSDENIED},
        {"allocation fails",
         []() -> HRESULT {
             testing_support::ScopedAllocationFailure failure(1);
             ::operator delete(::operator new(16));
             return S_OK;
         },
         E_OUTOFMEMORY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(protocol::RunInsideEntryBarrier(c.worker), c.result);
        EXPECT_EQ(std::get_new_handler(), before);
    }
    // Any other exception passes through, and the handler is restored all the same.
    EXPECT_THROW(protocol::RunInsideEntryBarrier(
                     []() -> HRESULT { throw std::runtime_error("not the barrier's"); }),
                 std::runtime_error);
    EXPECT_EQ(std::get_new_handler(), before);
}

}  // namespace
}  // namespace protocol_tests
