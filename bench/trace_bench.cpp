// The cost of a trace call: with tracing off (no area; area mapped but disabled) and with its
// category filtered out, each against an empty call that is not inlined; and lines per second
// stored while a live viewer drains the ring, against formatting the same line with snprintf.
//
// Run with a namespace of its own, so that a viewer running on the machine is not disturbed:
//   VORN_KERNEL_NAMESPACE=bench-$$ build/native/bench/trace_bench
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "trace/zqm_trace.h"
#include "trace/zqm_trace_viewer.h"

namespace {

constexpr char kFormat[] = "CVORNProtocol::SendInternal IN %d\n";

// The baseline: a call with the same arguments that does nothing and cannot be inlined away.
[[gnu::noinline]] void EmptyCall(const char* format, ...) {
    benchmark::DoNotOptimize(format);
}

void BM_EmptyCall(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) EmptyCall(kFormat, ++i);
}
BENCHMARK(BM_EmptyCall);

void BM_TraceOffNoArea(benchmark::State& state) {
    ZQMTraceUnmap();
    int i = 0;
    for (auto _ : state) ZQMTraceJO(kFormat, ++i);
}
BENCHMARK(BM_TraceOffNoArea);

// A viewer with `filter`, and this program's trace state mapped onto its area.
struct MappedViewer {
    explicit MappedViewer(const char* filter, bool enabled = true) : viewer(filter) {
        viewer.SetEnabled(enabled);
        ZQMTraceUnmap();
        ZQMTraceMap();
    }
    ~MappedViewer() { ZQMTraceUnmap(); }
    ZQMTraceViewer viewer;
};

void BM_TraceOffDisabled(benchmark::State& state) {
    MappedViewer mapped("JO", false);
    int i = 0;
    for (auto _ : state) ZQMTraceJO(kFormat, ++i);
}
BENCHMARK(BM_TraceOffDisabled);

void BM_TraceFilteredOut(benchmark::State& state) {
    MappedViewer mapped("SO");
    int i = 0;
    for (auto _ : state) ZQMTraceJO(kFormat, ++i);
}
BENCHMARK(BM_TraceFilteredOut);

void BM_SnprintfLine(benchmark::State& state) {
    char line[ZQM_TRACE_MAX_LINE + 1];
    int i = 0;
    for (auto _ : state) {
        std::snprintf(line, sizeof(line), kFormat, ++i);
        benchmark::DoNotOptimize(line);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SnprintfLine);

void BM_TraceStoredLiveViewer(benchmark::State& state) {
    MappedViewer mapped("JO");
    ZQMTraceViewer& viewer = mapped.viewer;
    std::atomic<bool> stop{false};
    std::thread drain([&] {
        while (!stop.load()) {
            viewer.WaitForLines(std::chrono::milliseconds(1));
            benchmark::DoNotOptimize(viewer.TakeLines());
        }
    });
    int i = 0;
    for (auto _ : state) ZQMTraceJO(kFormat, ++i);
    state.SetItemsProcessed(state.iterations());
    stop = true;
    drain.join();
}
BENCHMARK(BM_TraceStoredLiveViewer)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
