// The vorn-frame command line, run in-process: what each command prints and its exit code,
// and a one-line error with exit code 2 for everything it cannot use.
#include "vorn_frame_cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using vorn::cli::kExitBadBcc;
using vorn::cli::kExitOk;
using vorn::cli::kExitUsage;
using vorn::cli::Outcome;

Outcome RunWords(const std::vector<std::string>& words) {
    const std::vector<std::string_view> views(words.begin(), words.end());
    return vorn::cli::Run(views);
}

struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string out;
};

TEST(VornFrameCliTest, CommandsPrintFramesAndCheckResults) {
    const Case cases[] = {
        {{"build"}, kExitOk, "AB 00 0C 80 00 02 00 00 00 00 00 00 00 01 39\n"},
        {{"build", "--da1", "5", "--sid", "7", "12", "3456"},
         kExitOk,
         "AB 00 0F 80 00 02 00 05 00 00 00 00 07 12 34 56 01 E4\n"},
        {{"build", "0a bcde", "--no-response", "--dna", "255", "--da2", "0x10", "--sid", "0X01"},
         kExitOk,
         "AB 00 0F 81 00 02 FF 00 10 00 00 00 01 0A BC DE 03 F1\n"},
        // DNA and DA2 overridden (0x1FF gives FF), DA1 kept: its flag is 0.
        {{"build", "--dna", "1", "--da1", "2", "--da2", "3", "--sid", "0xff", "--dest",
          "01000000 FF010000 00000000 55000000 01000000 33000000", "aa", "bb"},
         kExitOk,
         "AB 00 0E 80 00 02 FF 02 33 00 00 00 FF AA BB 04 D3\n"},
        {{"check", "AB 00 0F 80 00 02 00 05 00 00 00 00 07 12 34 56 01 E4"},
         kExitOk,
         "OK 12 34 56\n"},
        {{"check", "ab000c81", "0002000000000000", "00", "013a"}, kExitOk, "OK -\n"},
        {{"check", "AB 00 0F 80 00 02 00 05 00 00 00 00 07 12 34 57 01 E4"},
         kExitBadBcc,
         "BAD BCC\n"},
        // Only the checksum counts: this length field is wrong.
        {{"check", "AB 00 0C 80 00 02 00 05 00 00 00 00 07 12 34 56 01 E1"},
         kExitOk,
         "OK 12 34 56\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const Outcome outcome = RunWords(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_EQ(outcome.out, c.out);
        EXPECT_EQ(outcome.err, "");
    }
}

TEST(VornFrameCliTest, UnusableInputGetsOneErrorLineAndExitCode2) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frame"},
        {"build", "--verbose"},
        {"build", "--dna"},
        {"build", "--dna", "256"},
        {"build", "--da1", "-1"},
        {"build", "--da2", "five"},
        {"build", "--sid", "0x100"},
        {"build", "--sid", "0x"},
        {"build", "--sid", ""},
        {"build", "ABC"},
        {"build", "A B"},
        {"build", "12 3G"},
        {"build", "--dest", "01000000"},
        {"build", "--dest", std::string(50, '0')},
        {"build", "--dest", std::string(47, '0') + "Z"},
        {"build", std::string(2 * (65523 + 1), 'F')},
        {"check"},
        {"check", "AB 00 0C 81 00 02 00 00 00 00 00 00 00 01"},
        {"check", "AB 00 0G"},
        {"check", "--no-response", "AB000C8100020000000000000000013A"},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments).substr(0, 80));
        const Outcome outcome = RunWords(arguments);
        EXPECT_EQ(outcome.exitCode, kExitUsage);
        EXPECT_EQ(outcome.out, "");
        EXPECT_TRUE(outcome.err.starts_with("vorn-frame: ")) << outcome.err;
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
        EXPECT_TRUE(outcome.err.ends_with("\n"));
    }
}

TEST(VornFrameCliTest, LargestDataStillBuilds) {
    const Outcome outcome = RunWords({"build", std::string(2 * 65523, 'F')});
    ASSERT_EQ(outcome.exitCode, kExitOk);
    EXPECT_TRUE(outcome.out.starts_with("AB FF FF 80 ")) << outcome.out.substr(0, 20);
    EXPECT_EQ(outcome.out.size(), (65523u + 15u) * 3u);
}

}  // namespace
