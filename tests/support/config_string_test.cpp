// ConfigString and GetFastConfigEntry: both must read the same entries out of the same text,
// and rendered text must read back to every value exactly.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "allocation_failure.h"
#include "platform/text.h"
#include "support/config_string.h"
#include "support/new_handler.h"
#include "support/vlx_runtime_error.h"

namespace {

using platform::WideString;

// The value of section/key as ConfigString reads it from wide text, or "<absent>".
std::string SlowEntry(const WideString& text, const char* section, const char* key) {
    std::string value;
    return ConfigString(text.c_str()).GetEntry(value, section, key) ? value : "<absent>";
}

// The same through GetFastConfigEntry on the narrow form of the text.
std::string FastEntry(const WideString& text, const char* section, const char* key) {
    std::array<char, 4096> buffer{};
    const std::string narrow = platform::WideToAnsi(text.c_str());
    return ConfigString::GetFastConfigEntry(narrow.c_str(), section, key, buffer.data(),
                                            static_cast<int>(buffer.size()))
               ? std::string(buffer.data())
               : "<absent>";
}

WideString W(const std::string& ascii) {
    return platform::AnsiToWide(ascii);
}

TEST(ConfigStringTest, ValuesReadExactlyAndSurviveRenderingAndReparsing) {
    struct Case {
        const char* written;   // the value as it stands in the text after "KEY="
        std::string expected;  // the value it stands for
    };
    const std::vector<Case> cases = {
        {"COM1", "COM1"},
        {"  padded \t ", "  padded \t "},
        {"a=b==c", "a=b==c"},
        {"", ""},
        {R"(\\.\COM1)", R"(\\.\COM1)"},  // backslashes in plain values are data
        {R"("quoted")", "quoted"},
        {R"("line\r\nbreak")", "line\r\nbreak"},
        {R"("lone\nfeed")", "lone\nfeed"},
        {R"("say \"hi\" \\ bye")", R"(say "hi" \ bye)"},
        {R"("" )", R"("" )"},  // text after the closing quote: plain
        {R"("unterminated)", R"("unterminated)"},
        {R"("bad \x escape")", R"("bad \x escape")"},
        {R"("ends in backslash\")", R"("ends in backslash\")"},
        {R"(not "quoted" here)", R"(not "quoted" here)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        const WideString text = W(std::string("[SEC]\r\nKEY=") + c.written + "\r\n");
        EXPECT_EQ(SlowEntry(text, "SEC", "KEY"), c.expected);
        EXPECT_EQ(FastEntry(text, "SEC", "KEY"), c.expected);

        const WideString rendered = ConfigString(text.c_str()).GetConfigurationW();
        EXPECT_EQ(SlowEntry(rendered, "SEC", "KEY"), c.expected);
        EXPECT_EQ(FastEntry(rendered, "SEC", "KEY"), c.expected);
        // Rendering is stable: a second round gives the same text.
        EXPECT_EQ(ConfigString(rendered.c_str()).GetConfigurationW(), rendered);
    }
}

TEST(ConfigStringTest, NonAsciiValuesAreHandedOutInTheAnsiCodePage) {
    const WideString value = WIDE("Gr\u00FC\u00DFe \u00E9t\u00E9");
    const WideString text = WIDE("[NET]\nNET=") + value + WIDE("\n");
    const std::string expected = platform::WideToAnsi(value.c_str());
    EXPECT_EQ(platform::AnsiToWide(expected), value);  // representable on both targets
    EXPECT_EQ(SlowEntry(text, "NET", "NET"), expected);
    EXPECT_EQ(FastEntry(text, "NET", "NET"), expected);
    const WideString rendered = ConfigString(text.c_str()).GetConfigurationW();
    EXPECT_NE(rendered.find(value), WideString::npos);  // kept wide, not narrowed and back
}

TEST(ConfigStringTest, NamesIgnoreCaseAndBlanksAndTheLastRepeatWins) {
    const WideString text =
        W("[ net ]\n"
          "  tmo  = 100\n"
          "[OTHER]\n"
          "TMO=7\n"
          "[Net]\n"
          "Tmo=200\n");
    for (const auto& read : {SlowEntry, FastEntry}) {
        EXPECT_EQ(read(text, "NET", "TMO"), "200");
        EXPECT_EQ(read(text, "net", "tmo"), "200");
        EXPECT_EQ(read(text, "OTHER", "TMO"), "7");
        EXPECT_EQ(read(text, "NE", "TMO"), "<absent>");
        EXPECT_EQ(read(text, "NET", "TM"), "<absent>");
    }
}

TEST(ConfigStringTest, MalformedTextIsReadAsFarAsItMakesSense) {
    struct Case {
        const char* name;
        std::string text;
        const char* section;
        const char* key;
        std::string expected;
        bool wellFormed;
    };
    const std::vector<Case> cases = {
        {"no final newline", "[NET]\nTMO=5", "NET", "TMO", "5", true},
        {"CRLF lines", "[NET]\r\nTMO=5\r\n", "NET", "TMO", "5", true},
        {"blank lines", "\n  \n[NET]\n\t\nTMO=5\n\n", "NET", "TMO", "5", true},
        {"entry before any header", "TMO=5\n[NET]\nFRAME=1", "", "TMO", "5", true},
        {"... is in no named section", "TMO=5\n[NET]\nFRAME=1", "NET", "TMO", "<absent>", true},
        {"line without '='", "[NET]\ngarbage\nTMO=5", "NET", "TMO", "5", false},
        {"empty key", "[NET]\n=5\nTMO=6", "NET", "TMO", "6", false},
        {"stray bytes", "[NET]\n\x01\x7f\xff\x80\nTMO=5", "NET", "TMO", "5", false},
        {"header without ']'", "[ADDRESS]\nDNA=1\n[NET\nDNA=2", "NET", "DNA", "2", false},
        {"... keeps the section before", "[ADDRESS]\nDNA=1\n[NET\nDNA=2", "ADDRESS", "DNA", "1",
         false},
        {"text after ']'", "[NET] x\nTMO=5", "NET", "TMO", "5", false},
        {"lone CR stays in the value", "[NET]\nTMO=5\r6\n", "NET", "TMO", "5\r6", true},
        {"empty text", "", "NET", "TMO", "<absent>", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WideString text = W(c.text);
        EXPECT_EQ(SlowEntry(text, c.section, c.key), c.expected);
        EXPECT_EQ(FastEntry(text, c.section, c.key), c.expected);
        bool parsed = !c.wellFormed;
        ConfigString config(text.c_str(), &parsed);
        EXPECT_EQ(parsed, c.wellFormed);
    }
}

TEST(ConfigStringTest, NullArgumentsAreAnEmptyConfigurationOrNotFound) {
    bool parsed = false;
    ConfigString empty(nullptr, &parsed);
    EXPECT_TRUE(parsed);
    EXPECT_TRUE(empty.GetConfigurationW().empty());

    ConfigString config(WIDE("[NET]\nTMO=5\n"));
    std::string value = "unchanged";
    EXPECT_FALSE(config.GetEntry(value, nullptr, "TMO"));
    EXPECT_FALSE(config.GetEntry(value, "NET", nullptr));
    EXPECT_FALSE(config.GetEntry(value, "NET", "FRAME"));
    EXPECT_EQ(value, "unchanged");

    std::array<char, 8> buffer{'x'};
    EXPECT_FALSE(ConfigString::GetFastConfigEntry(nullptr, "NET", "TMO", buffer.data(), 8));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_FALSE(
        ConfigString::GetFastConfigEntry("[NET]\nTMO=5", nullptr, "TMO", buffer.data(), 8));
    EXPECT_FALSE(
        ConfigString::GetFastConfigEntry("[NET]\nTMO=5", "NET", nullptr, buffer.data(), 8));
    EXPECT_FALSE(ConfigString::GetFastConfigEntry("[NET]\nTMO=5", "NET", "TMO", nullptr, 8));
}

// A value that does not fit the buffer is not found rather than cut, and nothing is written
// beyond the size the caller gave.
TEST(ConfigStringTest, FastLookupNeverWritesPastTheBuffer) {
    constexpr int kSize = 512;
    constexpr char kGuard = '#';
    struct Case {
        std::size_t length;
        int bufferSize;
        bool found;
    };
    const std::vector<Case> cases = {
        {511, kSize, true}, {512, kSize, false}, {600, kSize, false}, {0, 1, true},
        {1, 1, false},      {3, 0, false},       {3, -5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << " characters into " << c.bufferSize);
        const std::string value(c.length, 'v');
        const std::string text = "[DRVR]\nPORT=" + value + "\n";
        std::vector<char> buffer(kSize + 16, kGuard);
        EXPECT_EQ(ConfigString::GetFastConfigEntry(text.c_str(), "DRVR", "PORT", buffer.data(),
                                                   c.bufferSize),
                  c.found);
        if (c.bufferSize > 0) {
            EXPECT_EQ(std::string(buffer.data()), c.found ? value : "");
        }
        const std::size_t written = c.bufferSize > 0 ? static_cast<std::size_t>(c.bufferSize) : 0;
        for (std::size_t i = written; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], kGuard) << i;

        // ConfigString has no such limit.
        EXPECT_EQ(SlowEntry(W(text), "DRVR", "PORT"), value);
    }
}

TEST(ConfigStringTest, MergeReplacesEqualEntriesAndAddsTheRest) {
    ConfigString config(WIDE("[NET]\nTMO=100\nNET=Line1\n[DRVR]\nPORT=COM1\n"));
    const ConfigString other(WIDE("[net]\ntmo=200\nFRAME=1004\n[ADDRESS]\nDNA=3\n"));
    const WideString otherBefore = other.GetConfigurationW();

    EXPECT_TRUE(config.Merge(other));

    const WideString merged = config.GetConfigurationW();
    const std::vector<std::array<const char*, 3>> expected = {
        {"NET", "TMO", "200"},    {"NET", "NET", "Line1"}, {"NET", "FRAME", "1004"},
        {"DRVR", "PORT", "COM1"}, {"ADDRESS", "DNA", "3"},
    };
    for (const auto& [section, key, value] : expected) {
        SCOPED_TRACE(key);
        EXPECT_EQ(SlowEntry(merged, section, key), value);
        EXPECT_EQ(FastEntry(merged, section, key), value);
    }
    EXPECT_EQ(other.GetConfigurationW(), otherBefore);

    // Merging a configuration into itself changes nothing.
    EXPECT_TRUE(config.Merge(config));
    EXPECT_EQ(config.GetConfigurationW(), merged);
}

// Runs operation inside the throwing new-handler once per allocation it makes, failing that
// allocation, and calls after(failed) once the handler is reset. Returns the number of runs
// that failed.
template <class Operation, class After>
int FailEachAllocation(Operation operation, After after) {
    const std::new_handler before = std::get_new_handler();
    for (long n = 1;; ++n) {
        SCOPED_TRACE(testing::Message() << "allocation " << n);
        std::new_handler savedHandler = nullptr;
        int savedMode = 0;
        SetNewHandlerWithThrowError(&savedHandler, &savedMode);
        bool thrown = false;
        bool happened = false;
        {
            testing_support::ScopedAllocationFailure failure(n);
            try {
                operation();
            } catch (const VLX_RuntimeError& error) {
                thrown = true;
                EXPECT_EQ(error.GetHresult(), E_OUTOFMEMORY);
            }
            happened = failure.Happened();
        }
        ResetNewHandler(savedHandler, savedMode);
        EXPECT_EQ(std::get_new_handler(), before);
        EXPECT_EQ(thrown, happened);
        after(happened);
        if (!happened) return static_cast<int>(n - 1);
    }
}

TEST(ConfigStringTest, ExhaustionThrowsRuntimeErrorAndAFailedMergeChangesNothing) {
    const WideString text = W("[NET]\nTMO=1\nNET=Line-A\n[DRVR]\nPORT=\"a\\r\\nb\"\n");
    const WideString otherText = W("[net]\nTMO=2\n[ADDRESS]\nDNA=3\nDA1=4\n");

    EXPECT_GT(FailEachAllocation(
                  [&] {
                      const ConfigString config(text.c_str());
                      std::string value;
                      config.GetEntry(value, "DRVR", "PORT");
                      static_cast<void>(config.GetConfigurationW());
                  },
                  [](bool) {}),
              0);

    ConfigString config(text.c_str());
    const ConfigString other(otherText.c_str());
    const WideString original = config.GetConfigurationW();
    ConfigString reference(text.c_str());
    reference.Merge(other);
    EXPECT_GT(FailEachAllocation([&] { config.Merge(other); },
                                 [&](bool failed) {
                                     EXPECT_EQ(config.GetConfigurationW(),
                                               failed ? original : reference.GetConfigurationW());
                                 }),
              0);
}

}  // namespace
