// Hex dumps and result-code text.
#include <atomic>
#include <thread>

#include "trace/zqm_dump.h"
#include "trace_fixture.h"

namespace {

using namespace std::chrono_literals;
using trace_testing::TraceTest;

class TraceDumpTest : public TraceTest {};

const std::string kPad(3, ' ');

std::string Pads(int count) {
    std::string pads;
    for (int i = 0; i < count; ++i) pads += kPad;
    return pads;
}

struct DumpCase {
    const char* what;
    std::vector<std::uint8_t> data;
    std::int32_t length;  // -1: the data's size
    std::uint8_t request;
    std::vector<std::string> expected;
};

TEST_F(TraceDumpTest, WritesAHeaderAndSixteenBytesPerLine) {
    std::vector<std::uint8_t> sixteen;
    for (std::uint8_t b = 0x41; b < 0x51; ++b) sixteen.push_back(b);
    std::vector<std::uint8_t> seventeen = sixteen;
    seventeen.push_back(0x0A);
    const std::string fullLine =
        "0000: 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50   : ABCDEFGHIJKLMNOP\n";
    ASSERT_EQ(fullLine.size(), 75u);

    const DumpCase cases[] = {
        {"three bytes",
         {0xAB, 0x00, 0x41},
         -1,
         0,
         {"RESPONSE\n", "0000: ab 00 41 " + Pads(13) + "  : ..A\n"}},
        {"sixteen bytes", sixteen, -1, 1, {"REQUEST\n", fullLine}},
        {"seventeen bytes",
         seventeen,
         -1,
         1,
         {"REQUEST\n", fullLine, "0010: 0a " + Pads(15) + "  : .\n"}},
        {"edges of the printable range",
         {0x7F, 0x80, 0x20, 0x7E, 0x1F},
         -1,
         0,
         {"RESPONSE\n", "0000: 7f 80 20 7e 1f " + Pads(11) + "  : .. ~.\n"}},
        {"no bytes", {0x41}, 0, 1, {"REQUEST\n"}},
        {"negative length", {0x41}, -5, 0, {"RESPONSE\n"}},
    };
    viewer().SetFilter("RD");
    for (const DumpCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto length = c.length == -1 ? static_cast<std::int32_t>(c.data.size()) : c.length;
        ZQMDumpRD(c.data.data(), length, c.request);
        EXPECT_EQ(Lines(), c.expected);
    }
    ZQMDumpRD(nullptr, 16, 1);
    EXPECT_EQ(Lines(), std::vector<std::string>{"REQUEST\n"}) << "no data: header only";
}

TEST_F(TraceDumpTest, EveryLineOfADumpCarriesAFreshPrefix) {
    platform::testing::SetThreadIdForTest(0x5A4);
    viewer().SetFilter("XDI");
    const std::vector<std::uint8_t> data(20, 0x30);
    ZQMDumpXD(data.data(), static_cast<std::int32_t>(data.size()), 0);
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("(5A4): ", 0), 0u) << line;
    EXPECT_EQ(lines[2], "(5A4): 0010: 30 30 30 30 " + Pads(12) + "  : 0000\n");
}

TEST_F(TraceDumpTest, PositionsPastFFFFHaveFiveDigits) {
    zqm::testing::SetBackPressureLimit(1h);  // a slow machine must not turn waits into drops
    viewer().SetFilter("QD");
    const std::vector<std::uint8_t> data(0x10000 + 17, 0x55);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        ZQMDumpQD(data.data(), static_cast<std::int32_t>(data.size()), 0);
        done = true;
    });
    // The dump is longer than the ring: take lines while it is written.
    std::vector<std::string> lines;
    while (!done.load() || viewer().PendingCount() > 0) {
        viewer().WaitForLines(10ms);
        for (std::string& line : Lines()) lines.push_back(std::move(line));
    }
    writer.join();
    ASSERT_EQ(lines.size(), 1u + 0x1000 + 2);
    EXPECT_EQ(lines[0x1000].substr(0, 6), "FFF0: ");
    EXPECT_EQ(lines[0x1001].substr(0, 7), "10000: ");
    EXPECT_EQ(lines[0x1002], "10010: 55 " + Pads(15) + "  : U\n");
}

TEST_F(TraceDumpTest, EachDumpEntryPointNeedsBothLettersOfItsCategory) {
    using Dump = void (*)(const std::uint8_t*, std::int32_t, std::uint8_t) noexcept;
    const struct {
        Dump dump;
        const char* letters;
    } cases[] = {{ZQMDumpRD, "RD"},
                 {ZQMDumpXD, "XD"},
                 {ZQMDumpZD, "ZD"},
                 {ZQMDumpCD, "CD"},
                 {ZQMDumpQD, "QD"}};
    const std::uint8_t byte = 0x41;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letters);
        viewer().SetFilter(c.letters);
        c.dump(&byte, 1, 1);
        EXPECT_EQ(Lines().size(), 2u);
        for (const std::string& filter :
             {std::string(1, c.letters[0]), std::string("D"), std::string("rd")}) {
            viewer().SetFilter(filter);
            c.dump(&byte, 1, 1);
            EXPECT_TRUE(Lines().empty()) << filter;
        }
    }
}

TEST_F(TraceDumpTest, ResultCodesReadAsSeverityComponentAndCodeThenANewlineLine) {
    const struct {
        unsigned short code;
        const char* result;
    } cases[] = {
        {0x0000, "   Result: ZQM_SUCCESS ZQM_C_CORE         ZQM_S_OK\n"},
        {0x8A1D, "   Result: ZQM_ERROR   ZQM_C_DEVICE       ZQM_E_BUSY\n"},
        {0x8B25, "   Result: ZQM_ERROR   "},
        {0x0624, "   Result: ZQM_SUCCESS ZQM_C_CONFIGURATOR ZQM_E_INVALID_DATA\n"},
        {0xFFFF, "   Result: ZQM_ERROR   "},
    };
    platform::testing::SetThreadIdForTest(7);
    for (const char* filter : {"F", "FI"}) {
        viewer().SetFilter(filter);
        const std::string prefix = std::string(filter) == "FI" ? "(07): " : "";
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << std::hex << c.code << " " << filter);
            ZQMTraceResult(c.code, 1, "unused");
            EXPECT_EQ(Lines(), (std::vector<std::string>{prefix + c.result, prefix + "\n"}));
        }
    }
    viewer().SetFilter("JOE$");
    ZQMTraceResult(0);
    EXPECT_TRUE(Lines().empty());
}

}  // namespace
