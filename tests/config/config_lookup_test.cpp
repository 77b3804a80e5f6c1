// The number conversion and the lookups shared by the configuration read, the runtime
// information and the same-target test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config_lookup.h"
#include "config/decimal_number.h"

namespace {

constexpr LONG kMax = 2147483647;
constexpr LONG kMin = -2147483647 - 1;

TEST(ConvertDecimalTest, ReadsLeadingDecimalDigitsAndClampsTo32Bits) {
    struct Case {
        std::string text;
        LONG expected;
    };
    const std::vector<Case> cases = {
        {"0", 0},
        {"254", 254},
        {"-1", -1},
        {"+7", 7},
        {" \t\n\v\f\r7", 7},
        {"12abc", 12},
        {"7 8", 7},
        {"abc", 0},
        {"", 0},
        {"+", 0},
        {"- 5", 0},
        {"+-5", 0},
        {"0x1F", 0},
        {"010", 10},
        {"2147483647", kMax},
        {"2147483648", kMax},
        {"99999999999", kMax},
        {"-2147483648", kMin},
        {"-2147483649", kMin},
        {"-999999999999999999999999999999", kMin},
        {"0000000000000000000000000000001", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(config::ConvertDecimal(c.text), c.expected);
    }
}

TEST(NumberLookupTest, OptionalAndRequiredDifferOnlyWhenTheEntryIsAbsent) {
    constexpr LONG kUntouched = -77;
    struct Case {
        const char* text;
        bool optionalOk;
        LONG optionalValue;
        bool requiredOk;
        LONG requiredValue;
    };
    const std::vector<Case> cases = {
        {"[NET]\nTMO=10\n", true, 10, true, 10},
        {"[NET]\nTMO=0\n", true, 0, true, 0},
        {"[NET]\nTMO=100\n", true, 100, true, 100},  // upper bound included
        {"[NET]\nTMO=101\n", false, 101, false, 101},
        {"[NET]\nTMO=-1\n", false, -1, false, -1},
        {"[NET]\nTMO=x\n", true, 0, true, 0},  // present: converts to 0
        {"[NET]\nTMO=\n", true, 0, false, kUntouched},
        {"[NET]\nFRAME=5\n", true, 0, false, kUntouched},
        {"", true, 0, false, kUntouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        LONG optional = kUntouched;
        EXPECT_EQ(config::ReadOptionalNumber(optional, "NET", "TMO", c.text, 0, 100), c.optionalOk);
        EXPECT_EQ(optional, c.optionalValue);
        LONG required = kUntouched;
        EXPECT_EQ(config::ReadRequiredNumber(required, "NET", "TMO", c.text, 0, 100), c.requiredOk);
        EXPECT_EQ(required, c.requiredValue);
    }
    EXPECT_TRUE(config::IsInRange(kMin, kMin, kMax));
    EXPECT_FALSE(config::IsInRange(-1, 0, kMax));
}

TEST(ReadPortAndNetworkTest, WritesThePortBeforeTheNetworkIsKnown) {
    struct Case {
        const char* text;
        bool ok;
        std::string port;
        std::string network;
    };
    const std::vector<Case> cases = {
        {"[DRVR]\nPORT= COM1 \n[NET]\nNET=Line-A\n", true, " COM1 ", "Line-A"},
        {"[DRVR]\nPORT=COM1\n", false, "COM1", "old network"},
        {"[DRVR]\nPORT=COM1\n[NET]\nNET=\n", false, "COM1", "old network"},
        {"[DRVR]\nPORT=\n[NET]\nNET=Line-A\n", false, "old port", "old network"},
        {"[NET]\nNET=Line-A\n", false, "old port", "old network"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string port = "old port";
        std::string network = "old network";
        EXPECT_EQ(config::ReadPortAndNetwork(port, network, c.text), c.ok);
        EXPECT_EQ(port, c.port);
        EXPECT_EQ(network, c.network);
    }
}

TEST(LookUpEntryTest, ClearsTheBufferAndTreatsEmptyOrOverlongValuesAsAbsent) {
    config::EntryBuffer value;
    value.fill('x');
    EXPECT_FALSE(config::LookUpEntry("[NET]\nNET=\n", "NET", "NET", value));
    EXPECT_EQ(value, config::EntryBuffer{});

    const std::string longest(511, 'n');
    EXPECT_TRUE(config::LookUpEntry(("[NET]\nNET=" + longest).c_str(), "NET", "NET", value));
    EXPECT_EQ(std::string(value.data()), longest);
    EXPECT_FALSE(config::LookUpEntry(("[NET]\nNET=" + longest + "n").c_str(), "NET", "NET", value));
    EXPECT_EQ(value, config::EntryBuffer{});
}

}  // namespace
