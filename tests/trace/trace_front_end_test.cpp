// The front-end: category filter, line prefixes, the error marker, the line limit, and tracing
// from several threads at once.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <map>
#include <thread>

#include "trace/zqm_dump.h"
#include "trace_fixture.h"

namespace {

using namespace std::chrono_literals;
using trace_testing::TraceTest;

class TraceFrontEndTest : public TraceTest {};

using EntryPoint = void (*)(const char* format, ...) noexcept;

struct EntryPointCase {
    const char* name;
    EntryPoint entryPoint;
    const char* letters;  // the filter letters it needs
};

constexpr EntryPointCase kEntryPoints[] = {
    {"ZQMTraceSO", ZQMTraceSO, "SO"}, {"ZQMTraceMO", ZQMTraceMO, "MO"},
    {"ZQMTraceAO", ZQMTraceAO, "AO"}, {"ZQMTraceXO", ZQMTraceXO, "XO"},
    {"ZQMTraceRO", ZQMTraceRO, "RO"}, {"ZQMTraceWO", ZQMTraceWO, "WO"},
    {"ZQMTraceLO", ZQMTraceLO, "LO"}, {"ZQMTraceTO", ZQMTraceTO, "TO"},
    {"ZQMTraceYO", ZQMTraceYO, "YO"}, {"ZQMTraceYD", ZQMTraceYD, "YD"},
    {"ZQMTraceCO", ZQMTraceCO, "CO"}, {"ZQMTraceZO", ZQMTraceZO, "ZO"},
    {"ZQMTraceUO", ZQMTraceUO, "UO"}, {"ZQMTraceP", ZQMTraceP, "P"},
    {"ZQMTraceK", ZQMTraceK, "K"},    {"ZQMTraceError", ZQMTraceError, "E"},
    {"ZQMTraceGO", ZQMTraceGO, "GO"}, {"ZQMTraceHO", ZQMTraceHO, "HO"},
    {"ZQMTraceJO", ZQMTraceJO, "JO"}, {"ZQMTraceDollar", ZQMTraceDollar, "$"},
    {"ZQMTraceQO", ZQMTraceQO, "QO"}, {"ZQMTraceF", ZQMTraceF, "F"},
};

std::vector<std::string> ExpectedLines(const EntryPointCase& c) {
    if (c.entryPoint == ZQMTraceError) return {"ERROR: text 7\n"};
    if (c.entryPoint == ZQMTraceF) return {"\n", "text 7\n"};
    return {"text 7\n"};
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST_F(TraceFrontEndTest, EveryEntryPointWritesOnlyWhenTheFilterHoldsEachLetterOfItsCategory) {
    for (const EntryPointCase& c : kEntryPoints) {
        SCOPED_TRACE(c.name);
        const std::string letters = c.letters;
        viewer().SetFilter(letters);
        c.entryPoint("text %d\n", 7);
        EXPECT_EQ(Lines(), ExpectedLines(c));

        std::vector<std::string> refusing = {""};
        if (Lower(letters) != letters) refusing.push_back(Lower(letters));
        if (letters.size() == 2) {
            refusing.push_back(letters.substr(0, 1) + "@IN");
            refusing.push_back(letters.substr(1));
        }
        for (const std::string& filter : refusing) {
            viewer().SetFilter(filter);
            c.entryPoint("text %d\n", 7);
            EXPECT_TRUE(Lines().empty()) << "filter \"" << filter << "\"";
        }
    }
}

TEST_F(TraceFrontEndTest, TheEmptyCategoryIsAdmittedByEveryFilterEvenAnEmptyOne) {
    for (const char* filter : {"", "jo", "JO"}) {
        viewer().SetFilter(filter);
        ZQMTrace("always\n");
        EXPECT_EQ(Lines(), std::vector<std::string>{"always\n"}) << filter;
    }
}

TEST_F(TraceFrontEndTest, OrderAndRepetitionInTheFilterDoNotMatter) {
    viewer().SetFilter("OSJJ");
    ZQMTraceJO("jo\n");
    ZQMTraceSO("so\n");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"jo\n", "so\n"}));
}

TEST_F(TraceFrontEndTest, ANewFilterTakesEffectOnTheNextCall) {
    viewer().SetFilter("JO");
    ZQMTraceJO("1\n");
    viewer().SetFilter("SO");
    ZQMTraceJO("2\n");
    ZQMTraceSO("3\n");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"1\n", "3\n"}));
}

struct PrefixCase {
    const char* what;
    const char* filter;
    std::optional<std::string> path;
    std::optional<std::uint32_t> threadId;
    std::optional<platform::testing::FedCounter> counter;
    EntryPoint entryPoint;
    const char* expected;
};

TEST_F(TraceFrontEndTest, BuildsThePrefixFromTheOptionsInTheFilter) {
    using Counter = platform::testing::FedCounter;
    const std::string windowsPath = "C:\\Program Files\\Stack\\HOST.Server.EXE";
    const PrefixCase cases[] = {
        {"no option", "$", windowsPath, 0x5A4, Counter{1000, 12345678}, ZQMTraceDollar, "x\n"},
        {"name, last extension cut", "@JO", windowsPath, {}, {}, ZQMTraceJO, "host.server: x\n"},
        {"name from a POSIX path",
         "@JO",
         "/opt/stack/Host.Server.exe",
         {},
         {},
         ZQMTraceJO,
         "host.server: x\n"},
        {"name without extension", "@JO", "C:\\bin\\PLAIN", {}, {}, ZQMTraceJO, "plain: x\n"},
        {"unreadable path", "@JO", "", {}, {}, ZQMTraceJO, "x\n"},
        {"wide thread id", "IJO", {}, 0x5A4, {}, ZQMTraceJO, "(5A4): x\n"},
        {"narrow thread id", "IJO", {}, 7, {}, ZQMTraceJO, "(07): x\n"},
        {"milliseconds and error",
         "EN",
         {},
         {},
         Counter{1000, 12345678},
         ZQMTraceError,
         "(05678): ERROR: x\n"},
        {"10 MHz counter",
         "NJO",
         {},
         {},
         Counter{10000000, 123456789012},
         ZQMTraceJO,
         "(05678): x\n"},
        {"no counter", "NJO", {}, {}, Counter{0, 12345678}, ZQMTraceJO, "x\n"},
        {"counter under 1 kHz", "NJO", {}, {}, Counter{999, 12345678}, ZQMTraceJO, "x\n"},
        {"all three in order", "JNOI@", windowsPath, 0x5A4, Counter{1000, 12345678}, ZQMTraceJO,
         "host.server(5A4)(05678): x\n"},
    };
    for (const PrefixCase& c : cases) {
        SCOPED_TRACE(c.what);
        platform::testing::SetExecutablePathForTest(c.path);
        platform::testing::SetThreadIdForTest(c.threadId);
        platform::testing::SetPerformanceCounterForTest(c.counter);
        viewer().SetFilter(c.filter);
        c.entryPoint("x\n");
        EXPECT_EQ(Lines(), std::vector<std::string>{c.expected});
    }
}

TEST_F(TraceFrontEndTest, ZQMTraceFWritesThePrefixAloneThenTheText) {
    platform::testing::SetThreadIdForTest(7);
    viewer().SetFilter("FI");
    ZQMTraceF("value %s\n", "v");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"(07): \n", "(07): value v\n"}));
}

TEST_F(TraceFrontEndTest, ALineOfMoreThan512CharactersWithItsPrefixIsDroppedWhole) {
    platform::testing::SetThreadIdForTest(7);
    viewer().SetFilter("EI");  // prefix "(07): " and "ERROR: ": 13 characters
    const std::string fits(ZQM_TRACE_MAX_LINE - 13, 'f');
    ZQMTraceError("%s", fits.c_str());
    EXPECT_EQ(Lines(), std::vector<std::string>{"(07): ERROR: " + fits});
    EXPECT_TRUE(viewer().WaitForLines(0ms));

    ZQMTraceError("%s!", fits.c_str());
    EXPECT_EQ(viewer().PendingCount(), 0);
    EXPECT_EQ(viewer().WriteIndex(), 1);
    EXPECT_FALSE(viewer().WaitForLines(0ms));

    // A text that overflows the formatting buffer is cut there and then dropped as too long.
    const std::string huge(ZQM_TRACE_FORMAT_BUFFER + 100, 'h');
    ZQMTraceError("%s%s", huge.c_str(), huge.c_str());
    EXPECT_EQ(viewer().PendingCount(), 0);
}

TEST_F(TraceFrontEndTest, NothingIsWrittenWhileTracingIsOffOrTheAreaIsUnmapped) {
    viewer().SetFilter("JO");
    viewer().SetEnabled(false);
    ZQMTraceJO("disabled\n");
    ZQMTraceResult(0);
    EXPECT_EQ(viewer().PendingCount(), 0);

    viewer().SetEnabled(true);
    ZQMTraceUnmap();
    EXPECT_FALSE(ZQMTraceCategoryEnabled(""));
    ZQMTraceJO("unmapped\n");
    EXPECT_EQ(viewer().PendingCount(), 0);
}

// Hands its arguments to ZQMTraceV unchecked, as a caller with a computed format would.
void TraceUnchecked(const char* category, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ZQMTraceV(category, format, args);
    va_end(args);
}

TEST_F(TraceFrontEndTest, BadArgumentsWriteNothing) {
    TraceUnchecked("", nullptr);
    TraceUnchecked(nullptr, "text\n");
    EXPECT_FALSE(ZQMTraceCategoryEnabled(nullptr));
    EXPECT_EQ(viewer().PendingCount(), 0);
}

// Several threads trace while the viewer drains the ring: every line arrives once and whole,
// each thread's lines in its order, also when the ring fills and writers wait for room.
TEST_F(TraceFrontEndTest, LinesOfThreadsTracingAtOnceArriveWholeAndInOrder) {
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 600;
    zqm::testing::SetBackPressureLimit(1h);  // a slow machine must not turn waits into drops
    viewer().SetFilter("JO");
    std::atomic<int> running{kThreads};
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t, &running] {
            for (int i = 0; i < kLinesEach; ++i) ZQMTraceJO("thread %d line %d\n", t, i);
            running.fetch_sub(1);
        });
    }
    std::vector<std::string> lines;
    while (running.load() > 0 || viewer().PendingCount() > 0) {
        viewer().WaitForLines(10ms);
        for (std::string& line : Lines()) lines.push_back(std::move(line));
    }
    for (std::thread& writer : writers) writer.join();

    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
    std::map<int, int> next;
    for (const std::string& line : lines) {
        int thread = -1;
        int number = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d\n", &thread, &number), 2) << line;
        EXPECT_EQ(line,
                  "thread " + std::to_string(thread) + " line " + std::to_string(number) + "\n");
        EXPECT_EQ(number, next[thread]++) << line;
    }
}

}  // namespace
