// The stand-in device stack, a trace viewer that reads the layer's trace lines, and helpers to
// make protocol objects, commands and replies, for the tests of CVORNProtocol.
//
//   class SendTest : public protocol_tests::ProtocolTest {};
//   TEST_F(SendTest, ...) {
//       Device device = InitialisedDevice();
//       device.layer->Send(Command(7, 1, {0x12}).get());
//       EXPECT_EQ(device.lower->Sent()[0].frame, ...);
//       EXPECT_EQ(Lines(), ...);
//       Shutdown(device);   // UnInitialise, release everything, check nothing leaked
//   }
#pragma once

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interfaces/vorn_ids.h"
#include "module/com_object.h"
#include "protocol/cvorn_protocol.h"
#include "stack/call_tracking.h"
#include "stack/device_info.h"
#include "stack/lower_layer.h"
#include "stack/message_sink.h"
#include "stack/network_message.h"
#include "stack/protocol_message.h"
#include "stack/reply_frames.h"
#include "stack/testing/stack_test.h"
#include "trace/zqm_trace_area.h"
#include "trace/zqm_trace_viewer.h"

namespace protocol_tests {

using Bytes = std::vector<BYTE>;
using TraceLines = std::vector<std::string>;
using platform::ComPtr;

// DNA 0, DA1 5, DA2 0, TMO 300, FRAME 1004, network "LINE1", port "COM1".
inline const WCHAR* const kDeviceText = WIDE(
    "[ADDRESS]\r\nDNA=0\r\nDA1=5\r\nDA2=0\r\n"
    "[NET]\r\nTMO=300\r\nFRAME=1004\r\nNET=LINE1\r\n"
    "[DRVR]\r\nPORT=COM1\r\n");

// The objects of one device stack: the layer below, the sink above, the device and the layer.
struct Device {
    ComPtr<stack::LowerLayer> lower;
    ComPtr<stack::MessageSink> sink;
    ComPtr<stack::DeviceInfo> info;
    ComPtr<IVELDO_ProtocolComms> layer;
};

class ProtocolTest : public stack::testing::StackTest {
protected:
    void SetUp() override {
        StackTest::SetUp();
        if (HasFatalFailure()) return;
        handlerBefore_ = std::get_new_handler();
        viewer_.emplace("JOE$");
        ASSERT_TRUE(viewer_->valid());
        ZQMTraceUnmap();
        ZQMTraceMap();
        ASSERT_TRUE(ZQMTraceMapped());
    }

    void TearDown() override {
        ZQMTraceUnmap();
        viewer_.reset();
        EXPECT_EQ(std::get_new_handler(), handlerBefore_) << "new-handler not restored";
        StackTest::TearDown();
    }

    // A protocol object made the way the class factory makes one.
    static ComPtr<IVELDO_ProtocolComms> CreateLayer() {
        ComPtr<IVELDO_ProtocolComms> layer;
        EXPECT_EQ(
            module::CreatePlainInstance<CVORNProtocol>(IID_IVELDO_ProtocolComms, layer.put_void()),
            S_OK);
        return layer;
    }

    // A lower layer and a sink in the environment, and a layer made for a device with the
    // text but not initialised.
    Device NewDevice(const WCHAR* text = kDeviceText,
                     stack::ReplyMode mode = stack::ReplyMode::None) {
        Device device;
        device.lower = stack::LowerLayer::Create();
        device.lower->SetReplyMode(mode);
        device.sink = stack::MessageSink::Create();
        env().SetLowerLayer(device.lower.get());
        env().SetMessageSink(device.sink.get());
        device.info = stack::DeviceInfo::CreateWithConfiguration(platform::WideView(text));
        device.layer = CreateLayer();
        return device;
    }

    // NewDevice, initialised; the log and the trace lines of the set-up are cleared.
    Device InitialisedDevice(const WCHAR* text = kDeviceText,
                             stack::ReplyMode mode = stack::ReplyMode::None) {
        Device device = NewDevice(text, mode);
        EXPECT_EQ(device.layer->Initialise(device.info.get()), S_OK);
        env().Log().Clear();
        Lines();
        return device;
    }

    // UnInitialises the layer, drops every reference and checks that nothing leaked: no
    // stand-in and no protocol object alive, task memory balanced, nothing released twice.
    void Shutdown(Device& device) {
        if (device.lower) {
            EXPECT_TRUE(device.lower->WaitIdle());
        }
        if (device.layer) device.layer->UnInitialise();
        device = Device{};
        ExpectAllReleased();
        EXPECT_EQ(module::ModuleLock::Count(), 0) << "protocol objects still alive";
    }

    // The trace lines written since the last call, oldest first.
    TraceLines Lines() { return viewer_->TakeLines(); }
    // "" lets no line of the layer through: for tests that trace more than a ring holds.
    void SetTraceFilter(std::string_view filter) { viewer_->SetFilter(filter); }

    static ComPtr<stack::ProtocolMessage> Command(const stack::CommandSpec& spec) {
        return stack::ProtocolMessage::CreateCommand(spec);
    }
    static ComPtr<stack::ProtocolMessage> Command(ULONG messageId, LONG responseRequire = 1,
                                                  const Bytes& sendData = {}) {
        stack::CommandSpec spec;
        spec.messageId = messageId;
        spec.responseRequire = responseRequire;
        spec.sendData = sendData;
        return Command(spec);
    }

    // A reply as the layer below delivers it; nullopt: without data.
    static ComPtr<stack::NetworkMessage> ReplyMessage(ULONG messageId,
                                                      const std::optional<Bytes>& data) {
        const stack::UntrackedScope untracked;
        auto message = stack::NetworkMessage::Create();
        message->SetMessageID(messageId);
        if (data)
            message->SetData(static_cast<LONG>(data->size()), const_cast<BYTE*>(data->data()));
        return message;
    }

    // Makes the id pending: a command that wants a reply, which the lower layer keeps to itself.
    static void MakePending(Device& device, ULONG messageId) {
        device.lower->SetReplyMode(stack::ReplyMode::None);
        EXPECT_EQ(device.layer->Send(Command(messageId).get()), S_OK);
    }

    // The ids delivered to the sink, in order.
    static std::vector<ULONG> DeliveredIds(const Device& device) {
        std::vector<ULONG> ids;
        for (const stack::Delivery& delivery : device.sink->Deliveries()) {
            ids.push_back(delivery.messageId);
        }
        return ids;
    }

private:
    std::new_handler handlerBefore_ = nullptr;
    std::optional<ZQMTraceViewer> viewer_;
};

}  // namespace protocol_tests
