// A command's round trip through the layer on the stand-in device stack: Send, the lower layer
// answering on the same thread, Receive, delivery to the sink. The baseline makes the same
// stand-in calls without the layer (reading the command, creating and filling the network
// message, the hand-over, creating and filling the reply, delivery), so the ratio of the two
// is the layer's own share: framing, sequence ids, the pending table, the entry barrier and
// tracing. Single-threaded and with two senders; tracing off, and on with a live viewer.
//
// Run with a namespace of its own, so that a viewer running on the machine is not disturbed:
//   VORN_KERNEL_NAMESPACE=bench-$$ build/native/bench/protocol_round_trip_bench
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "interfaces/vorn_ids.h"
#include "module/com_object.h"
#include "platform/interlocked.h"
#include "platform/task_memory.h"
#include "protocol/cvorn_protocol.h"
#include "stack/class_registration.h"
#include "stack/com_initialisation.h"
#include "stack/device_info.h"
#include "stack/lower_layer.h"
#include "stack/protocol_message.h"
#include "stack/reply_frames.h"
#include "stack/stack_environment.h"
#include "trace/zqm_trace_area.h"
#include "trace/zqm_trace_viewer.h"

namespace {

using platform::ComPtr;
using Bytes = std::vector<BYTE>;

const WCHAR* const kDeviceText = WIDE(
    "[ADDRESS]\r\nDA1=5\r\n[NET]\r\nTMO=300\r\nFRAME=1004\r\nNET=LINE1\r\n"
    "[DRVR]\r\nPORT=COM1\r\n");
const Bytes kCommandData(16, 0x5A);
constexpr GUID kBaselineCookie{0x42415345, 0x4c49, 0x4e45, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr ULONG kBaselineToken = 1;

// Both runs deliver to this sink: it reads the reply as a layer above would and counts it,
// keeping nothing, so that a long run does not grow.
class CountingSink final : public IVELDO_MessageSink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IVELDO_MessageSink)) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IVELDO_MessageSink*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs_.Increment()); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(refs_.Decrement()); }

    HRESULT STDMETHODCALLTYPE DeliverMessage(IVELDO_ProtocolMessage* pMessage) override {
        ULONG id = 0;
        LONG size = 0;
        platform::TaskMem<BYTE> data;
        pMessage->GetMessageID(&id);
        pMessage->GetReceiveData(&size, data.put());
        benchmark::DoNotOptimize(size);
        delivered_.Increment();
        return S_OK;
    }

    LONG Delivered() const { return delivered_.Value(); }

private:
    platform::InterlockedCounter refs_{1};
    platform::InterlockedCounter delivered_{0};
};

// The baseline's layer above the lower layer: it receives the reply as the protocol layer
// does, without matching, checking or tracing.
class BaselineUpperLayer final : public IVELDO_ProtocolComms {
public:
    explicit BaselineUpperLayer(ComPtr<IVELDO_StackServices> services)
        : services_(std::move(services)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv != nullptr) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Initialise(IVELDO_DeviceInfo*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnInitialise() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Send(IVELDO_ProtocolMessage*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SamePhysicalTarget(LPWSTR, LONG*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE Receive(IVELDO_NetworkMessage* pMessage) override {
        ULONG id = 0;
        LONG size = 0;
        platform::TaskMem<BYTE> data;
        pMessage->GetMessageID(&id);
        pMessage->GetData(&size, data.put());
        ComPtr<IVELDO_ProtocolMessage> reply;
        if (FAILED(CoCreateInstance(CLSID_ProtocolMessage, nullptr, CLSCTX_INPROC,
                                    IID_IVELDO_ProtocolMessage, reply.put_void()))) {
            return S_OK;
        }
        reply->SetMessageID(id);
        reply->SetReceiveData(size - 15, data.get() + 13);
        ComPtr<IVELDO_MessageSink> sink;
        if (SUCCEEDED(services_->GetMessageSink(0, IID_IVELDO_MessageSink, sink.put_void()))) {
            sink->DeliverMessage(reply.get());
        }
        return S_OK;
    }

private:
    ComPtr<IVELDO_StackServices> services_;
};

// The baseline's send: what the layer asks of the command and sets on the network message,
// with a frame made once beforehand.
void BaselineSend(IVELDO_ProtocolMessage* command, IVELDO_NetworkComms* lower, const Bytes& frame) {
    LONG size = 0;
    LONG value = 0;
    _tagRetryMethod retry = rm_BOTH;
    ULONG id = 0;
    {
        platform::TaskMem<BYTE> data;
        platform::TaskMem<BYTE> destination;
        command->GetSendData(&size, data.put());
        command->GetDestinationAddress(&size, destination.put());
    }
    command->GetExtraTimeoutValue(&value);
    command->GetResponseRequire(&value);
    command->GetRetryState(&retry);
    command->GetReset(&value);
    ComPtr<IVELDO_NetworkMessage> message;
    if (FAILED(CoCreateInstance(CLSID_NetworkMessage, nullptr, CLSCTX_INPROC,
                                IID_IVELDO_NetworkMessage, message.put_void()))) {
        return;
    }
    command->GetMessageID(&id);
    message->SetMessageID(id);
    message->SetRetryState(retry);
    message->SetData(static_cast<LONG>(frame.size()), const_cast<BYTE*>(frame.data()));
    message->SetTimeoutValue(300);
    message->SetResponseRequire(1);
    message->SetReset(0);
    lower->SendNetworkMessage(kBaselineCookie, message.get());
}

// A trace viewer that takes lines as fast as they come, with this program mapped onto it.
class LiveViewer {
public:
    LiveViewer() : viewer_("JOE$") {
        ZQMTraceUnmap();
        ZQMTraceMap();
        drain_ = std::thread([this] {
            while (!stop_.load()) {
                viewer_.WaitForLines(std::chrono::milliseconds(1));
                benchmark::DoNotOptimize(viewer_.TakeLines());
            }
        });
    }
    ~LiveViewer() {
        stop_ = true;
        drain_.join();
        ZQMTraceUnmap();
    }
    LiveViewer(const LiveViewer&) = delete;
    LiveViewer& operator=(const LiveViewer&) = delete;

private:
    ZQMTraceViewer viewer_;
    std::atomic<bool> stop_{false};
    std::thread drain_;
};

// What one benchmark run shares among its threads: made by thread 0 before the timed loop
// and taken down after it (the loop starts and ends with all threads together).
struct Rig {
    CountingSink sink;
    ComPtr<stack::LowerLayer> lower;
    ComPtr<stack::DeviceInfo> info;
    ComPtr<IVELDO_ProtocolComms> layer;  // the layer run only
    ComPtr<IVELDO_StackServices> services;
    std::optional<BaselineUpperLayer> upper;  // the baseline run only
    std::optional<LiveViewer> viewer;
};
std::unique_ptr<Rig> rig;

void SetUpRig(bool withLayer, bool tracing) {
    rig = std::make_unique<Rig>();
    if (tracing) rig->viewer.emplace();
    stack::Environment().Log().SetEnabled(false);  // recording is for tests
    rig->lower = stack::LowerLayer::Create();
    rig->lower->SetReplyMode(stack::ReplyMode::CallerThread);
    stack::Environment().SetLowerLayer(rig->lower.get());
    stack::Environment().SetMessageSink(&rig->sink);
    if (withLayer) {
        rig->info = stack::DeviceInfo::CreateWithConfiguration(platform::WideView(kDeviceText));
        module::CreatePlainInstance<CVORNProtocol>(IID_IVELDO_ProtocolComms, rig->layer.put_void());
        rig->layer->Initialise(rig->info.get());
    } else {
        CoCreateInstance(CLSID_StackServices, nullptr, CLSCTX_ALL, IID_IVELDO_StackServices,
                         rig->services.put_void());
        rig->upper.emplace(rig->services);
        rig->lower->ConnectUpperLayer(kBaselineToken, kBaselineCookie, &*rig->upper);
    }
}

void TearDownRig(benchmark::State& state) {
    state.counters["delivered"] = rig->sink.Delivered();
    if (rig->layer) rig->layer->UnInitialise();
    stack::Environment().Reset();  // it holds the rig's sink
    rig.reset();
}

ComPtr<stack::ProtocolMessage> ThreadCommand(const benchmark::State& state) {
    stack::CommandSpec spec;
    spec.messageId = static_cast<ULONG>(state.thread_index()) + 1;
    spec.sendData = kCommandData;
    spec.responseRequire = 1;
    return stack::ProtocolMessage::CreateCommand(spec);
}

void BM_BaselineRoundTrip(benchmark::State& state) {
    const stack::ComInitialisation com;
    if (state.thread_index() == 0) SetUpRig(false, false);
    const ComPtr<stack::ProtocolMessage> command = ThreadCommand(state);
    const Bytes frame = stack::BuildReplyFrame(0, kCommandData);
    for (auto _ : state) BaselineSend(command.get(), rig->lower.get(), frame);
    if (state.thread_index() == 0) TearDownRig(state);
}

void BM_LayerRoundTrip(benchmark::State& state) {
    const stack::ComInitialisation com;
    if (state.thread_index() == 0) SetUpRig(true, state.range(0) != 0);
    const ComPtr<stack::ProtocolMessage> command = ThreadCommand(state);
    for (auto _ : state) rig->layer->Send(command.get());
    if (state.thread_index() == 0) TearDownRig(state);
}

BENCHMARK(BM_BaselineRoundTrip)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_LayerRoundTrip)
    ->ArgName("trace")
    ->Arg(0)
    ->Arg(1)
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    const stack::ComInitialisation com;
    const stack::ClassRegistration classes;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
