// A test viewer that owns the shared trace area for the length of one test, with the test
// program's trace state mapped onto it, and helpers to read what was stored.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/os_services.h"
#include "trace/zqm_trace.h"
#include "trace/zqm_trace_viewer.h"

namespace trace_testing {

class TraceTest : public ::testing::Test {
  protected:
    void SetUp() override { OpenViewer(""); }

    void TearDown() override {
        CloseViewer();
        platform::testing::SetExecutablePathForTest(std::nullopt);
        platform::testing::SetThreadIdForTest(std::nullopt);
        platform::testing::SetPerformanceCounterForTest(std::nullopt);
        zqm::testing::SetBackPressureLimit(
            std::chrono::milliseconds(ZQM_TRACE_BACK_PRESSURE_LIMIT_MS));
    }

    // A fresh area with `filter`, mapped by this program as if it had existed at load.
    void OpenViewer(const std::string& filter) {
        CloseViewer();
        viewer_ = std::make_unique<ZQMTraceViewer>(filter);
        ASSERT_TRUE(viewer_->valid());
        ZQMTraceMap();
        ASSERT_TRUE(ZQMTraceMapped());
        ClearEvent(*viewer_);
    }

    // The event outlives areas and may still be signalled for lines of an earlier test.
    static void ClearEvent(ZQMTraceViewer& viewer) {
        while (viewer.WaitForLines(std::chrono::milliseconds(0))) {
        }
    }

    // Unmaps the area and closes the viewer, so that the area no longer exists.
    void CloseViewer() {
        ZQMTraceUnmap();
        viewer_.reset();
    }

    ZQMTraceViewer& viewer() { return *viewer_; }
    std::vector<std::string> Lines() { return viewer_->TakeLines(); }

    // Runs a trace call on a thread of its own, so that the test can play the viewer meanwhile.
    template <class Call>
    static std::future<void> Async(Call call) {
        return std::async(std::launch::async, call);
    }
    // Expects the call to return; if it does not, turns tracing off (which releases a writer
    // that waits for room) so that a broken wait fails the test instead of hanging it.
    void ExpectReturns(std::future<void>& call) {
        if (call.wait_for(std::chrono::seconds(60)) == std::future_status::ready) return;
        ADD_FAILURE() << "the trace call did not return";
        viewer_->SetEnabled(false);
        call.wait();
    }

  private:
    std::unique_ptr<ZQMTraceViewer> viewer_;
};

}  // namespace trace_testing
