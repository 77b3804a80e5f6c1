// Linux's ANSI code page is UTF-8: the conversion in detail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace {

using platform::WideString;

TEST(Utf8TextTest, DecodesValidSequencesAndReplacesEachIllFormedOne) {
    struct Case {
        const char* name;
        std::string narrow;
        WideString wide;
    };
    const std::vector<Case> cases = {
        {"two bytes", "\xC3\xBC", u"\u00FC"},
        {"three bytes", "\xE2\x82\xAC", u"\u20AC"},
        {"four bytes become a pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"largest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"stray continuation byte", "a\x80z", u"a\uFFFDz"},
        {"overlong encoding", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"truncated at the end", "ok\xE2\x82", u"ok\uFFFD"},
        {"truncated before ASCII", "\xE2\x82z", u"\uFFFDz"},
        {"invalid lead bytes", "\xF8\xFF", u"\uFFFD\uFFFD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::AnsiToWide(c.narrow), c.wide);
    }
}

TEST(Utf8TextTest, EncodesPairsAndReplacesLoneSurrogates) {
    EXPECT_EQ(platform::WideToAnsi(u"\u00FC\u20AC\U0001F600"),
              "\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::WideToAnsi(u"\xDC00"
                                   u"x\xD83D"),
              "?x?");
    const char16_t swapped[] = {0xDE00, 0xD83D, 0};
    EXPECT_EQ(platform::WideToAnsi(swapped), "??");
}

}  // namespace
