// The stack services, the message sink, the device information with its configuration source,
// and the component catalog: what the layer relies on from each.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fake_upper_layer.h"
#include "interfaces/vorn_ids.h"
#include "platform/task_memory.h"
#include "stack/component_catalog.h"
#include "stack/device_info.h"
#include "stack/lower_layer.h"
#include "stack/message_sink.h"
#include "stack/network_message.h"
#include "stack/protocol_message.h"
#include "stack/stack_services.h"
#include "stack/testing/stack_test.h"
#include "stack/text_format.h"

namespace {

using platform::ComPtr;
using platform::TaskMem;
using stack_tests::FakeUpperLayer;

class StackServicesTest : public stack::testing::StackTest {
protected:
    static ComPtr<IVELDO_StackServices> CreateServices() {
        ComPtr<IVELDO_StackServices> services;
        EXPECT_EQ(CoCreateInstance(CLSID_StackServices, nullptr, CLSCTX_ALL,
                                   IID_IVELDO_StackServices, services.put_void()),
                  S_OK);
        return services;
    }
};

struct Registered {
    HRESULT result;
    IVELDO_NetworkComms* lower;
    ULONG layerCookie;
    GUID stackCookie;
    ULONG reserved;
};

Registered Register(IVELDO_StackServices* services, IVELDO_DeviceInfo* info,
                    IVELDO_ProtocolComms* layer) {
    Registered r{E_UNEXPECTED, reinterpret_cast<IVELDO_NetworkComms*>(0x1), 0, GUID_NULL, 0};
    r.result =
        services->RegisterLayer(info, layer, &r.lower, &r.layerCookie, &r.stackCookie, &r.reserved);
    return r;
}

TEST_F(StackServicesTest, RegistrationHandsOutTheConfiguredLowerLayersAndCookies) {
    auto shared = stack::LowerLayer::Create();
    auto queued = stack::LowerLayer::Create();
    auto info = stack::DeviceInfo::Create();
    FakeUpperLayer first;
    FakeUpperLayer second;
    constexpr GUID kQueuedCookie{0xABCD, 1, 2, {3}};
    auto services = CreateServices();

    const Registered none = Register(services.get(), info.get(), &first);
    EXPECT_EQ(none.result, E_UNEXPECTED) << "no lower layer configured";
    EXPECT_EQ(none.lower, nullptr);

    env().SetLowerLayer(shared.get());
    env().QueueLowerLayer(queued.get(), kQueuedCookie);
    const Registered a = Register(services.get(), info.get(), &first);
    const Registered b = Register(CreateServices().get(), info.get(), &second);
    ASSERT_EQ(a.result, S_OK);
    ASSERT_EQ(b.result, S_OK);
    EXPECT_EQ(a.lower, static_cast<IVELDO_NetworkComms*>(queued.get()));
    EXPECT_TRUE(IsEqualGUID(a.stackCookie, kQueuedCookie));
    EXPECT_EQ(b.lower, static_cast<IVELDO_NetworkComms*>(shared.get()));
    EXPECT_TRUE(IsEqualGUID(b.stackCookie, stack::kDefaultStackCookie));
    EXPECT_EQ(a.layerCookie, stack::kFirstLayerCookie);
    EXPECT_EQ(b.layerCookie, stack::kFirstLayerCookie + 1);
    EXPECT_EQ(a.reserved, stack::kReservedRegistrationValue);
    EXPECT_EQ(shared->References(), 3) << "held by the test, the environment and b's registration";
    EXPECT_EQ(env().Registrations().size(), 2u);

    // Each layer's replies come back to that layer.
    shared->SetReplyMode(stack::ReplyMode::CallerThread);
    auto frame = stack::NetworkMessage::Create();
    ASSERT_EQ(frame->SetResponseRequire(1), S_OK);
    ASSERT_EQ(b.lower->SendNetworkMessage(b.stackCookie, frame.get()), S_OK);
    EXPECT_EQ(first.Replies().size(), 0u);
    EXPECT_EQ(second.Replies().size(), 1u);

    env().FailOnCall("StackServices::RegisterLayer", 1, E_OUTOFMEMORY);
    EXPECT_EQ(Register(services.get(), info.get(), &first).lower, nullptr);

    EXPECT_EQ(services->UnregisterLayer(info.get(), b.layerCookie), S_OK);
    EXPECT_EQ(services->UnregisterLayer(info.get(), b.layerCookie), E_INVALIDARG);
    EXPECT_EQ(shared->References(), 2);
    ASSERT_EQ(b.lower->SendNetworkMessage(b.stackCookie, frame.get()), S_OK);
    EXPECT_EQ(second.Replies().size(), 1u) << "no reply after unregistration";
    EXPECT_EQ(env().Log().Calls("StackServices::UnregisterLayer")[0].arguments,
              "device=" + stack::FormatPointer(info.get()) + " cookie=1002");

    frame = nullptr;
    services = nullptr;
    shared = nullptr;
    queued = nullptr;
    info = nullptr;
    ExpectAllReleased();
    EXPECT_EQ(first.References(), 0);
}

TEST_F(StackServicesTest, TheSinkIsHandedOutCountedAndRecordsWhatItIsGiven) {
    auto services = CreateServices();
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(services->GetMessageSink(stack::kFirstLayerCookie, IID_IVELDO_MessageSink, &out),
              E_UNEXPECTED);
    EXPECT_EQ(out, nullptr);

    auto sink = stack::MessageSink::Create();
    env().SetMessageSink(sink.get());
    ComPtr<IVELDO_MessageSink> handedOut;
    ASSERT_EQ(services->GetMessageSink(stack::kFirstLayerCookie, IID_IVELDO_MessageSink,
                                       handedOut.put_void()),
              S_OK);
    EXPECT_EQ(handedOut.get(), static_cast<IVELDO_MessageSink*>(sink.get()));
    EXPECT_EQ(sink->References(), 3) << "test, environment and the caller's counted reference";

    auto withData = stack::ProtocolMessage::Create();
    BYTE bytes[] = {0x12, 0x34, 0x56};
    withData->SetMessageID(7);
    withData->SetReceiveData(3, bytes);
    auto withoutData = stack::ProtocolMessage::Create();
    withoutData->SetMessageID(8);
    std::thread other([&] { handedOut->DeliverMessage(withoutData.get()); });
    EXPECT_EQ(handedOut->DeliverMessage(withData.get()), S_OK);
    other.join();
    ASSERT_TRUE(sink->WaitForDeliveries(2));

    auto deliveries = sink->Deliveries();
    ASSERT_EQ(deliveries.size(), 2u);
    if (deliveries[0].messageId != 7) std::swap(deliveries[0], deliveries[1]);
    EXPECT_EQ(deliveries[0].messageId, 7u);
    EXPECT_EQ(deliveries[0].receiveData, (std::vector<BYTE>{0x12, 0x34, 0x56}));
    EXPECT_EQ(deliveries[1].messageId, 8u);
    EXPECT_FALSE(deliveries[1].receiveData.has_value());
    EXPECT_EQ(withData->References(), 1) << "the sink keeps no reference";

    handedOut = nullptr;
    withData = nullptr;
    withoutData = nullptr;
    services = nullptr;
    sink = nullptr;
    ExpectAllReleased();
}

TEST_F(StackServicesTest, DeviceInfoHandsOutItsConfigurationSourceWithoutACountedReference) {
    const platform::WideString text = WIDE("[NET]\r\nTMO=300\r\n");
    auto info = stack::DeviceInfo::CreateWithConfiguration(text);
    GUID iid = IID_IVELDO_ConfigurationSource;
    IUnknown* unknown = nullptr;
    ASSERT_EQ(info->GetUnknown(&iid, &unknown), S_OK);
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(info->Source()->References(), 2) << "the device info and Source(): none handed out";

    // Used directly, as the layer does, without QueryInterface and without Release.
    auto* source = static_cast<IVELDO_ConfigurationSource*>(static_cast<void*>(unknown));
    platform::WideString options;
    TaskMem<WCHAR> config;
    ASSERT_EQ(source->GetConfigurationText(options.data(), config.put()), S_OK);
    EXPECT_EQ(platform::WideView(config.get()), platform::WideStringView(text));
    EXPECT_EQ(env().Log().Calls("ConfigurationSource::GetConfigurationText")[0].arguments,
              "options=");

    info->SetConfigurationText(std::nullopt);
    ASSERT_EQ(source->GetConfigurationText(options.data(), config.put()), S_OK);
    EXPECT_EQ(config.get(), nullptr);
    env().FailOnCall("ConfigurationSource::GetConfigurationText", 1, E_ACCESSDENIED);
    EXPECT_EQ(source->GetConfigurationText(options.data(), config.put()), E_ACCESSDENIED);

    info->RemoveConfigurationSource();
    unknown = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_EQ(info->GetUnknown(&iid, &unknown), S_FALSE);
    EXPECT_EQ(unknown, nullptr);

    // Other unknowns and managers are stored and handed out with counted references.
    auto stored = stack::MessageSink::Create();
    GUID other = IID_IVELDO_MessageSink;
    ASSERT_EQ(info->SetUnknown(&other, stored.get()), S_OK);
    ASSERT_EQ(info->SetManager(CLSID_StackServices, stored.get()), S_OK);
    ComPtr<IUnknown> back;
    ASSERT_EQ(info->GetUnknown(&other, back.put()), S_OK);
    ASSERT_EQ(info->GetManager(CLSID_StackServices, back.put()), S_OK);
    EXPECT_EQ(stored->References(), 4);
    back = nullptr;
    EXPECT_EQ(info->References(), 1);
    info = nullptr;  // releases what it held
    EXPECT_EQ(stored->References(), 1);
    stored = nullptr;
    config.reset();
    ExpectAllReleased();
}

TEST_F(StackServicesTest, TheCatalogReadsBackWhatWasWrittenThroughAnyCatalogObject) {
    ComPtr<IVELDO_ComponentCatalog> writer;
    ComPtr<IVELDO_ComponentCatalog> reader;
    ASSERT_EQ(CoCreateInstance(CLSID_ComponentCatalog, nullptr, CLSCTX_ALL,
                               IID_IVELDO_ComponentCatalog, writer.put_void()),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_ComponentCatalog, nullptr, CLSCTX_ALL,
                               IID_IVELDO_ComponentCatalog, reader.put_void()),
              S_OK);
    platform::WideString section = WIDE("COMPONENTS\\PROTOCOLS");
    platform::WideString key = WIDE("VORN");
    platform::WideString value = WIDE("[CLSID={...}:PROGID=x]");

    EXPECT_EQ(writer->SetEntry(section.data(), key.data(), value.data()), E_FAIL)
        << "the section must exist";
    ASSERT_EQ(writer->CreateSection(section.data()), S_OK);
    ASSERT_EQ(writer->SetEntry(section.data(), key.data(), value.data()), S_OK);

    TaskMem<WCHAR> read;
    ASSERT_EQ(reader->GetEntry(section.data(), key.data(), read.put()), S_OK);
    EXPECT_EQ(platform::WideView(read.get()), platform::WideStringView(value));
    EXPECT_EQ(env().Catalog().Entry(section, key), value);

    ASSERT_EQ(reader->RemoveEntry(section.data(), key.data()), S_OK);
    EXPECT_EQ(reader->RemoveEntry(section.data(), key.data()), S_FALSE);
    EXPECT_EQ(reader->GetEntry(section.data(), key.data(), read.put()), S_FALSE);
    EXPECT_EQ(read.get(), nullptr);
    EXPECT_EQ(
        env().Log().Operations("ComponentCatalog"),
        (std::vector<std::string>{"ComponentCatalog::Create", "ComponentCatalog::Create",
                                  "ComponentCatalog::SetEntry", "ComponentCatalog::CreateSection",
                                  "ComponentCatalog::SetEntry", "ComponentCatalog::GetEntry",
                                  "ComponentCatalog::RemoveEntry", "ComponentCatalog::RemoveEntry",
                                  "ComponentCatalog::GetEntry"}));
    writer = nullptr;
    reader = nullptr;
    ExpectAllReleased();
}

}  // namespace
