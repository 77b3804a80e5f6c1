// Reading the seven settings from a device's configuration text.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "allocation_failure.h"
#include "config/device_configuration.h"
#include "fake_device_info.h"
#include "platform/text.h"
#include "support/new_handler.h"
#include "support/vlx_runtime_error.h"
#include "task_memory_hooks.h"

namespace {

using testing_support::FakeDeviceInfo;
using testing_support::TaskMemHooks;

// Destinations start with values that no read produces, so that every write shows.
struct Settings {
    LONG dna = -11;
    LONG da1 = -12;
    LONG da2 = -13;
    LONG tmo = -14;
    LONG frame = -15;
    std::string port = "old port";
    std::string network = "old network";

    bool operator==(const Settings&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Settings& s) {
    return out << "{dna " << s.dna << ", da1 " << s.da1 << ", da2 " << s.da2 << ", tmo " << s.tmo
               << ", frame " << s.frame << ", port '" << s.port << "', network '" << s.network
               << "'}";
}

HRESULT Read(const std::string& text, Settings& s) {
    return config::ReadSettings(text.c_str(), s.dna, s.da1, s.da2, s.tmo, s.frame, s.port,
                                s.network);
}

HRESULT ReadFrom(FakeDeviceInfo& device, Settings& s) {
    return config::ReadDeviceConfiguration(&device, s.dna, s.da1, s.da2, s.tmo, s.frame, s.port,
                                           s.network);
}

// The four entries without which a device does not initialise.
const std::string kRequired = "[NET]\nTMO=5000\nFRAME=512\nNET=Line-A\n[DRVR]\nPORT=COM1\n";

Settings Untouched() {
    return Settings{};
}

Settings With(LONG dna, LONG da1, LONG da2, LONG tmo, LONG frame, std::string port,
              std::string network) {
    return Settings{dna, da1, da2, tmo, frame, std::move(port), std::move(network)};
}

// A failed read writes no address value; tmo, frame and the names show how far it came.
Settings AfterFailure(LONG tmo, LONG frame, std::string port, std::string network) {
    Settings s;
    s.tmo = tmo;
    s.frame = frame;
    s.port = std::move(port);
    s.network = std::move(network);
    return s;
}

TEST(ReadSettingsTest, RangesAbsentEntriesAndPartialWrites) {
    const Settings defaults = Untouched();
    struct Case {
        const char* name;
        std::string text;
        HRESULT hr;
        Settings expected;
    };
    const std::vector<Case> cases = {
        {"only the required entries", kRequired, S_OK, With(0, 0, 0, 5000, 512, "COM1", "Line-A")},
        {"every number at its upper bound",
         "[ADDRESS]\nDNA=254\nDA1=254\nDA2=254\n[NET]\nTMO=600000\nFRAME=1004\nNET=N\n"
         "[DRVR]\nPORT=P\n",
         S_OK, With(254, 254, 254, 600000, 1004, "P", "N")},
        {"every number at zero",
         "[ADDRESS]\nDNA=0\nDA1=0\nDA2=0\n[NET]\nTMO=0\nFRAME=0\nNET=N\n[DRVR]\nPORT=P\n", S_OK,
         With(0, 0, 0, 0, 0, "P", "N")},
        {"DNA 255", "[ADDRESS]\nDNA=255\n" + kRequired, E_FAIL, defaults},
        {"DA1 255", "[ADDRESS]\nDA1=255\n" + kRequired, E_FAIL, defaults},
        {"DA2 255", "[ADDRESS]\nDA2=255\n" + kRequired, E_FAIL, defaults},
        {"DNA -1", "[ADDRESS]\nDNA=-1\n" + kRequired, E_FAIL, defaults},
        {"DA2 -1", "[ADDRESS]\nDA2=-1\n" + kRequired, E_FAIL, defaults},
        {"TMO 600001 is stored", "[NET]\nTMO=600001\nFRAME=512\nNET=N\n[DRVR]\nPORT=P\n", E_FAIL,
         AfterFailure(600001, -15, "old port", "old network")},
        {"TMO -1 is stored", "[NET]\nTMO=-1\nFRAME=512\nNET=N\n[DRVR]\nPORT=P\n", E_FAIL,
         AfterFailure(-1, -15, "old port", "old network")},
        {"FRAME 1005 is stored after TMO", "[NET]\nTMO=9\nFRAME=1005\nNET=N\n[DRVR]\nPORT=P\n",
         E_FAIL, AfterFailure(9, 1005, "old port", "old network")},
        {"FRAME -1", "[NET]\nTMO=9\nFRAME=-1\nNET=N\n[DRVR]\nPORT=P\n", E_FAIL,
         AfterFailure(9, -1, "old port", "old network")},
        {"TMO of eleven nines clamps and fails",
         "[NET]\nTMO=99999999999\nFRAME=512\nNET=N\n[DRVR]\nPORT=P\n", E_FAIL,
         AfterFailure(2147483647, -15, "old port", "old network")},
        {"letters convert to 0, for DNA and TMO",
         "[ADDRESS]\nDNA=abc\n[NET]\nTMO=abc\nFRAME=512\nNET=N\n[DRVR]\nPORT=P\n", S_OK,
         With(0, 0, 0, 0, 512, "P", "N")},
        {"digits then letters, blank, plus sign",
         "[ADDRESS]\nDNA=12abc\nDA1= 7\nDA2=+7\n" + kRequired, S_OK,
         With(12, 7, 7, 5000, 512, "COM1", "Line-A")},
        {"DNA present but empty", "[ADDRESS]\nDNA=\n" + kRequired, S_OK,
         With(0, 0, 0, 5000, 512, "COM1", "Line-A")},
        {"TMO present but empty", "[NET]\nTMO=\nFRAME=512\nNET=N\n[DRVR]\nPORT=P\n", E_FAIL,
         defaults},
        {"FRAME absent", "[NET]\nTMO=9\nNET=N\n[DRVR]\nPORT=P\n", E_FAIL,
         AfterFailure(9, -15, "old port", "old network")},
        {"port without network", "[NET]\nTMO=9\nFRAME=8\n[DRVR]\nPORT=P\n", E_FAIL,
         AfterFailure(9, 8, "P", "old network")},
        {"empty port", "[NET]\nTMO=9\nFRAME=8\nNET=N\n[DRVR]\nPORT=\n", E_FAIL,
         AfterFailure(9, 8, "old port", "old network")},
        {"names kept byte for byte",
         "[NET]\nTMO=9\nFRAME=8\nNET=line-a\n[DRVR]\nPORT= \\\\.\\COM1 \n", S_OK,
         With(0, 0, 0, 9, 8, " \\\\.\\COM1 ", "line-a")},
        {"port of 511 characters",
         "[NET]\nTMO=9\nFRAME=8\nNET=N\n[DRVR]\nPORT=" + std::string(511, 'p'), S_OK,
         With(0, 0, 0, 9, 8, std::string(511, 'p'), "N")},
        {"port of 512 characters counts as absent",
         "[NET]\nTMO=9\nFRAME=8\nNET=N\n[DRVR]\nPORT=" + std::string(512, 'p'), E_FAIL,
         AfterFailure(9, 8, "old port", "old network")},
        {"empty text", "", E_FAIL, defaults},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings s;
        EXPECT_EQ(Read(c.text, s), c.hr);
        EXPECT_EQ(s, c.expected);
    }
}

TEST(ReadDeviceConfigurationTest, ReadsTheSourceTextOnceAndFreesItExactlyOnce) {
    const TaskMemHooks hooks;
    FakeDeviceInfo device(platform::AnsiToWide(kRequired));
    Settings s;
    EXPECT_EQ(ReadFrom(device, s), S_OK);
    EXPECT_EQ(s, With(0, 0, 0, 5000, 512, "COM1", "Line-A"));

    EXPECT_EQ(device.unknownCalls, 1);
    EXPECT_TRUE(IsEqualGUID(device.lastIid, IID_IVELDO_ConfigurationSource));
    EXPECT_EQ(device.source.textCalls, 1);
    EXPECT_EQ(device.source.lastOptions, platform::WideString());
    EXPECT_EQ(device.source.releases, 0);  // the source is not this layer's to release
    EXPECT_EQ(hooks.NewlyOutstanding(), 0);
    EXPECT_EQ(hooks.NewBadFrees(), 0);
}

TEST(ReadDeviceConfigurationTest, FailuresOfTheDeviceComeBackWithNothingWritten) {
    constexpr HRESULT kDeviceError = static_cast<HRESULT>(0x80040201u);
    const TaskMemHooks hooks;

    FakeDeviceInfo noUnknown(platform::AnsiToWide(kRequired));
    noUnknown.unknownResult = kDeviceError;
    Settings s;
    EXPECT_EQ(ReadFrom(noUnknown, s), kDeviceError);
    EXPECT_EQ(s, Untouched());
    EXPECT_EQ(noUnknown.source.textCalls, 0);

    FakeDeviceInfo noSource(platform::AnsiToWide(kRequired));
    noSource.handsOutSource = false;  // success without a pointer: an empty configuration
    EXPECT_EQ(ReadFrom(noSource, s), E_FAIL);
    EXPECT_EQ(s, Untouched());

    FakeDeviceInfo noText(platform::AnsiToWide(kRequired));
    noText.source.textResult = kDeviceError;
    EXPECT_EQ(ReadFrom(noText, s), kDeviceError);
    EXPECT_EQ(s, Untouched());

    EXPECT_EQ(config::ReadDeviceConfiguration(nullptr, s.dna, s.da1, s.da2, s.tmo, s.frame, s.port,
                                              s.network),
              E_POINTER);
    EXPECT_EQ(s, Untouched());

    EXPECT_EQ(hooks.NewlyOutstanding(), 0);
    EXPECT_EQ(hooks.NewBadFrees(), 0);
}

TEST(ReadDeviceConfigurationTest, NonAsciiNamesArriveInTheAnsiCodePage) {
    const platform::WideString port = WIDE("Schnittstelle \u00C4\u00D6\u00DC");
    const platform::WideString network = WIDE("R\u00E9seau \u00FC\u00DF");
    FakeDeviceInfo device(WIDE("[NET]\r\nTMO=1\r\nFRAME=2\r\nNET=") + network +
                          WIDE("\r\n[DRVR]\r\nPORT=") + port + WIDE("\r\n"));
    Settings s;
    EXPECT_EQ(ReadFrom(device, s), S_OK);
    EXPECT_EQ(s.port, platform::WideToAnsi(port.c_str()));
    EXPECT_EQ(s.network, platform::WideToAnsi(network.c_str()));
    EXPECT_EQ(platform::AnsiToWide(s.network), network);
}

// Inside the entry barrier, running out of memory at any allocation of the read surfaces as
// VLX_RuntimeError, the device's text is still freed, and the handler comes back.
TEST(ReadDeviceConfigurationTest, ExhaustionAtEachAllocationThrowsAndLeaksNothing) {
    const std::new_handler before = std::get_new_handler();
    const TaskMemHooks hooks;
    FakeDeviceInfo device(platform::AnsiToWide(kRequired + "[ADDRESS]\nDNA=3\n"));
    int failuresSeen = 0;
    for (long n = 1;; ++n) {
        SCOPED_TRACE(testing::Message() << "allocation " << n);
        std::new_handler savedHandler = nullptr;
        int savedMode = 0;
        SetNewHandlerWithThrowError(&savedHandler, &savedMode);
        Settings s;
        HRESULT hr = S_OK;
        bool happened = false;
        {
            testing_support::ScopedAllocationFailure failure(n);
            try {
                hr = ReadFrom(device, s);
            } catch (const VLX_RuntimeError& error) {
                hr = error.GetHresult();
            }
            happened = failure.Happened();
        }
        ResetNewHandler(savedHandler, savedMode);
        EXPECT_EQ(std::get_new_handler(), before);
        EXPECT_EQ(hooks.NewlyOutstanding(), 0);
        if (!happened) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(s, With(3, 0, 0, 5000, 512, "COM1", "Line-A"));
            break;
        }
        ++failuresSeen;
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        EXPECT_EQ(s.dna, Untouched().dna);  // address values only on success
    }
    EXPECT_GT(failuresSeen, 0);
    EXPECT_EQ(hooks.NewBadFrees(), 0);
}

}  // namespace
