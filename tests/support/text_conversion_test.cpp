// Wide <-> ANSI conversion: what holds on both targets.
#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

using platform::WideString;

TEST(TextConversionTest, NullAndEmptyGiveEmpty) {
    EXPECT_EQ(platform::WideToAnsi(static_cast<const WCHAR*>(nullptr)), "");
    EXPECT_EQ(platform::WideToAnsi(WIDE("")), "");
    EXPECT_EQ(platform::AnsiToWide(""), WideString());
}

TEST(TextConversionTest, RepresentableTextRoundTrips) {
    for (const WCHAR* text :
         {WIDE("COM1 \\\\.\\x=\"y\"\t~"), WIDE("Gr\u00FC\u00DFe \u00E9t\u00E9 \u00D8")}) {
        const std::string narrow = platform::WideToAnsi(text);
        EXPECT_EQ(platform::AnsiToWide(narrow), WideString(text));
    }
    EXPECT_EQ(platform::WideToAnsi(WIDE("ASCII stays")), "ASCII stays");
}

TEST(TextConversionTest, WhatCannotBeRepresentedBecomesADefaultCharacter) {
    // A lone surrogate is not a character in any code page.
    const WCHAR lone[] = {'a', 0xD800, 'b', 0};
    EXPECT_EQ(platform::WideToAnsi(lone), "a?b");
}

}  // namespace
