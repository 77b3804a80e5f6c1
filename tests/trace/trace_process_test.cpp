// The trace area between processes: the zqm-trace viewer and writer processes, and a writer
// killed while it holds the trace mutex.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"
#include "platform/kernel_objects.h"
#include "platform/os_services.h"
#include "trace/zqm_trace_layout.h"
#include "trace/zqm_trace_viewer.h"

namespace {

using namespace std::chrono_literals;

// Generous: under Wine every process start costs.
constexpr auto kProcessTimeout = 120s;

std::string Tool() {
    return platform::ExecutableDirectory() + ZQM_TRACE_TOOL;
}
std::string Child() {
    return platform::ExecutableDirectory() + TRACE_TEST_CHILD;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end + 1 - start));
        start = end + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Waits until a viewer process has created the area and turned tracing on.
bool WaitForViewer() {
    const std::string name = platform::KernelObjectName(ZQM_TRACE_AREA_NAME);
    for (auto deadline = std::chrono::steady_clock::now() + kProcessTimeout;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
        auto area = platform::SharedMapping::OpenExisting(name);
        if (area.valid() && zqm::LoadEnabled(area.data()) != 0) return true;
    }
    return false;
}

bool WaitForText(const std::string& path, const std::string& text) {
    for (auto deadline = std::chrono::steady_clock::now() + kProcessTimeout;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
        if (ReadFile(path).find(text) != std::string::npos) return true;
    }
    return false;
}

class TraceProcessTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (const std::string& file : files_) std::filesystem::remove(file);
    }
    std::string File(const std::string& suffix) {
        files_.push_back(std::string("trace_process_test.") + suffix);
        return files_.back();
    }

  private:
    std::vector<std::string> files_;
};

TEST_F(TraceProcessTest, TwoWritersAndAViewerEveryLineArrivesOnceWholeAndInEachWritersOrder) {
    constexpr int kLinesEach = 1500;  // together more than the ring holds
    const std::string output = File("viewer.out");
    auto viewer = platform::ChildProcess::Start(
        Tool(), {"--filter", "JO", "--count", std::to_string(2 * kLinesEach), "--timeout", "60"},
        output);
    ASSERT_TRUE(viewer.valid());
    ASSERT_TRUE(WaitForViewer());

    auto writerA = platform::ChildProcess::Start(
        Tool(), {"emit", "--repeat", std::to_string(kLinesEach), "A {n} aaaaaaaaaaaaaaaa\\n"});
    auto writerB = platform::ChildProcess::Start(
        Tool(), {"emit", "--repeat", std::to_string(kLinesEach), "B {n} bbbbbbbbbbbbbbbb\\n"});
    ASSERT_TRUE(writerA.valid() && writerB.valid());
    EXPECT_EQ(writerA.Wait(kProcessTimeout), 0);
    EXPECT_EQ(writerB.Wait(kProcessTimeout), 0);
    ASSERT_EQ(viewer.Wait(kProcessTimeout), 0);

    int nextA = 1;
    int nextB = 1;
    const std::vector<std::string> lines = SplitLines(ReadFile(output));
    for (const std::string& line : lines) {
        if (line.rfind("A ", 0) == 0) {
            ASSERT_EQ(line, "A " + std::to_string(nextA++) + " aaaaaaaaaaaaaaaa\n");
        } else {
            ASSERT_EQ(line, "B " + std::to_string(nextB++) + " bbbbbbbbbbbbbbbb\n");
        }
    }
    EXPECT_EQ(nextA, kLinesEach + 1);
    EXPECT_EQ(nextB, kLinesEach + 1);
}

// The viewer holds its lines while the hold file exists: the writer stores up to one line past
// the high-water mark, drops the rest after its bounded wait, and ends instead of hanging.
TEST_F(TraceProcessTest, AWriterFacingAViewerThatStoppedTakingLinesStillEnds) {
    const std::string hold = File("hold");
    std::ofstream(hold).put('x');
    const std::string output = File("held.out");
    auto viewer = platform::ChildProcess::Start(
        Tool(), {"--filter", "JO", "--hold", hold, "--timeout", "3"}, output);
    ASSERT_TRUE(viewer.valid());
    ASSERT_TRUE(WaitForViewer());

    const int written = ZQM_TRACE_HIGH_WATER + 5;
    auto writer = platform::ChildProcess::Start(
        Tool(), {"emit", "--repeat", std::to_string(written), "{n}\\n"});
    EXPECT_EQ(writer.Wait(kProcessTimeout), 0);
    EXPECT_EQ(ReadFile(output), "");

    std::filesystem::remove(hold);
    ASSERT_EQ(viewer.Wait(kProcessTimeout), 0);
    const std::vector<std::string> lines = SplitLines(ReadFile(output));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(ZQM_TRACE_HIGH_WATER + 1));
    for (int i = 0; i <= ZQM_TRACE_HIGH_WATER; ++i)
        EXPECT_EQ(lines[static_cast<std::size_t>(i)], std::to_string(i + 1) + "\n");
}

TEST_F(TraceProcessTest, AWriterKilledWhileHoldingTheTraceMutexIsTakenOverByTheNext) {
    ZQMTraceViewer viewer("JO");
    ASSERT_TRUE(viewer.valid());

    const std::string output = File("holder.out");
    auto holder = platform::ChildProcess::Start(Child(), {"hold-mutex"}, output);
    ASSERT_TRUE(holder.valid());
    ASSERT_TRUE(WaitForText(output, "held"));
    holder.Kill();

    auto writer = platform::ChildProcess::Start(Tool(), {"emit", "after the crash\\n"});
    ASSERT_TRUE(writer.valid());
    const auto exitCode = writer.Wait(kProcessTimeout);
    if (!exitCode) writer.Kill();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(viewer.TakeLines(), std::vector<std::string>{"after the crash\n"});
}

}  // namespace
