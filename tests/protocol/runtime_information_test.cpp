// Runtime information and the same-target test: what this layer shows, validates and changes,
// what it passes on to a lower layer that offers IVELDO_RuntimeInformation, and how another
// configuration is compared with its own port and network.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/task_memory.h"
#include "protocol_fixture.h"

namespace protocol_tests {
namespace {

// A modifiable copy of a wide text, as the interfaces take it; null stays null.
class Text {
public:
    explicit Text(const WCHAR* text) {
        if (text != nullptr) text_ = platform::WideString(text);
    }
    LPWSTR get() { return text_ ? text_->data() : nullptr; }

private:
    std::optional<platform::WideString> text_;
};

class RuntimeInformationTest : public ProtocolTest {
protected:
    static ComPtr<IVELDO_RuntimeInformation> Runtime(const Device& device) {
        ComPtr<IVELDO_RuntimeInformation> runtime;
        EXPECT_EQ(device.layer.query_to(&runtime), S_OK);
        return runtime;
    }

    // The frame and timeout of one more command, as they reach the lower layer.
    static stack::SentMessage SendOne(Device& device) {
        EXPECT_EQ(device.layer->Send(Command(1, 0).get()), S_OK);
        return device.lower->Sent().back();
    }
};

TEST_F(RuntimeInformationTest, ShowsOnlyWhatTheLowerLayerReports) {
    const WCHAR* const lowerText = WIDE("[NET]\r\nBAUD=9600\r\n[LINK]\r\nRETRIES=3\r\n");
    struct Case {
        const char* name;
        bool initialise;
        bool offered;
        std::optional<platform::WideString> lowerAnswer;
        bool lowerFails;
        platform::WideString expected;
    };
    const std::vector<Case> cases = {
        {"no lower layer yet", false, true, lowerText, false, WIDE("")},
        {"lower layer without runtime information", true, false, lowerText, false, WIDE("")},
        {"lower layer's text", true, true, lowerText, false, lowerText},
        {"lower layer answers no text", true, true, std::nullopt, false, WIDE("")},
        {"lower layer fails", true, true, lowerText, true, WIDE("")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = c.initialise ? InitialisedDevice() : NewDevice();
        device.lower->OfferRuntimeInformation(c.offered);
        device.lower->SetRuntimeInformationText(c.lowerAnswer);
        if (c.lowerFails) env().FailOnCall("LowerLayer::GetRuntimeInformation", 1, E_FAIL);
        auto runtime = Runtime(device);
        platform::TaskMem<WCHAR> text;
        EXPECT_EQ(runtime->GetRuntimeInformation(text.put()), S_OK);
        ASSERT_TRUE(text);
        EXPECT_EQ(platform::WideString(text.get()), c.expected);
        EXPECT_EQ(Lines(), (TraceLines{"CVORNProtocol::GetRuntimeInformation()\n"}));
        EXPECT_EQ(runtime->GetRuntimeInformation(nullptr), E_POINTER);
        runtime = nullptr;
        text.reset();
        Lines();
        Shutdown(device);
    }
}

TEST_F(RuntimeInformationTest, ValidatesNumbersAndNetworkBeforeAskingTheLowerLayer) {
    struct Case {
        const char* name;
        const WCHAR* text;
        LONG valid;
    };
    const std::vector<Case> cases = {
        {"TMO at its limit", WIDE("[NET]\r\nTMO=600000\r\n"), 1},
        {"TMO one more", WIDE("[NET]\r\nTMO=600001\r\n"), 0},
        {"FRAME one more", WIDE("[NET]\r\nFRAME=1005\r\n"), 0},
        {"DNA 255", WIDE("[ADDRESS]\r\nDNA=255\r\n"), 0},
        {"DA1 negative", WIDE("[ADDRESS]\r\nDA1=-1\r\n"), 0},
        {"DA2 at its limit", WIDE("[ADDRESS]\r\nDA2=254\r\n"), 1},
        {"DNA of letters", WIDE("[ADDRESS]\r\nDNA=abc\r\n"), 1},
        {"only a port", WIDE("[DRVR]\r\nPORT=any port at all\r\n"), 1},
        {"own network", WIDE("[NET]\r\nNET=LINE1\r\n"), 1},
        {"network differing in case", WIDE("[NET]\r\nNET=line1\r\n"), 0},
        {"empty text", WIDE(""), 1},
        {"null text", nullptr, 1},
    };
    Device device = InitialisedDevice();
    device.lower->OfferRuntimeInformation(true);
    auto runtime = Runtime(device);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t askedBefore = device.lower->ValidatedTexts().size();
        Text text(c.text);
        LONG valid = -1;
        EXPECT_EQ(runtime->IsValidRuntimeConfiguration(text.get(), &valid), S_OK);
        EXPECT_EQ(valid, c.valid);
        EXPECT_EQ(Lines(), (TraceLines{"CVORNProtocol::IsValidRuntimeConfiguration(), Valid[" +
                                       std::to_string(c.valid) + "]\n"}));
        // Only a configuration valid here is passed on, with the same text.
        const auto asked = device.lower->ValidatedTexts();
        ASSERT_EQ(asked.size(), askedBefore + (c.valid == 1 ? 1 : 0));
        if (c.valid == 1) {
            EXPECT_EQ(asked.back(), c.text == nullptr
                                        ? std::nullopt
                                        : std::optional(platform::WideString(c.text)));
        }
    }
    EXPECT_EQ(runtime->IsValidRuntimeConfiguration(nullptr, nullptr), E_POINTER);
    runtime = nullptr;
    Lines();
    Shutdown(device);
}

TEST_F(RuntimeInformationTest, LowerLayersVerdictAndResultAreReturned) {
    struct Case {
        const char* name;
        bool initialise;
        bool offered;
        std::optional<LONG> verdict;
        HRESULT lowerResult;
        const WCHAR* text;
        LONG valid;
        HRESULT result;
    };
    const WCHAR* const ownNetwork = WIDE("[NET]\r\nNET=LINE1\r\n");
    const std::vector<Case> cases = {
        {"lower says not valid", true, true, 0, S_OK, ownNetwork, 0, S_OK},
        {"lower fails", true, true, 1, E_ACCESSDENIED, ownNetwork, 1, E_ACCESSDENIED},
        {"lower without runtime information", true, false, 0, S_OK, ownNetwork, 1, S_OK},
        // Before Initialise the network is compared with the empty name the object starts with.
        {"before Initialise, a network", false, true, 1, S_OK, ownNetwork, 0, S_OK},
        {"before Initialise, no network", false, true, 1, S_OK, WIDE("[NET]\r\nTMO=5\r\n"), 1,
         S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device = c.initialise ? InitialisedDevice() : NewDevice();
        device.lower->OfferRuntimeInformation(c.offered);
        device.lower->SetValidityAnswer(c.verdict, c.lowerResult);
        auto runtime = Runtime(device);
        Text text(c.text);
        LONG valid = -1;
        EXPECT_EQ(runtime->IsValidRuntimeConfiguration(text.get(), &valid), c.result);
        EXPECT_EQ(valid, c.valid);
        runtime = nullptr;
        Lines();
        Shutdown(device);
    }
}

TEST_F(RuntimeInformationTest, ChangeReplacesTheNamedSettingsUncheckedAndPassesOn) {
    Device device = InitialisedDevice();  // DNA 0, DA1 5, DA2 0, TMO 300, COM1 / LINE1
    device.lower->OfferRuntimeInformation(true);
    auto runtime = Runtime(device);
    const stack::SentMessage before = SendOne(device);
    Lines();

    struct Step {
        const char* name;
        const WCHAR* text;
        Bytes address;  // frame bytes 6 to 8 afterwards
        LONG timeout;
    };
    const std::vector<Step> steps = {
        {"nothing named", WIDE(""), {0, 5, 0}, 300},
        {"null text", nullptr, {0, 5, 0}, 300},
        {"DNA 300 keeps its low byte", WIDE("[ADDRESS]\r\nDNA=300\r\n"), {44, 5, 0}, 300},
        {"TMO -5 is stored", WIDE("[NET]\r\nTMO=-5\r\n"), {44, 5, 0}, -5},
        {"all three addresses",
         WIDE("[ADDRESS]\r\nDNA=1\r\nDA1=-1\r\nDA2=abc\r\n"),
         {1, 255, 0},
         -5},
    };
    EXPECT_EQ(Bytes(before.frame.begin() + 6, before.frame.begin() + 9), (Bytes{0, 5, 0}));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const std::size_t passedBefore = device.lower->ChangedTexts().size();
        Text text(step.text);
        EXPECT_EQ(runtime->ChangeRuntimeInformation(text.get()), S_OK);
        EXPECT_EQ(device.lower->ChangedTexts().size(), passedBefore + 1);
        const stack::SentMessage sent = SendOne(device);
        EXPECT_EQ(Bytes(sent.frame.begin() + 6, sent.frame.begin() + 9), step.address);
        EXPECT_EQ(sent.timeout, step.timeout);
        EXPECT_EQ(Lines(),
                  (TraceLines{"CVORNProtocol::ChangeRuntimeInformation()\n",
                              "CVORNProtocol::Send() IN\n", "CVORNProtocol::SendInternal OUT\n"}));
    }

    // The lower layer's answer is the result; without its runtime information, S_OK.
    env().FailOnCall("LowerLayer::ChangeRuntimeInformation", 1, E_ACCESSDENIED);
    Text text(WIDE("[DRVR]\r\nPORT=COM2\r\n"));
    EXPECT_EQ(runtime->ChangeRuntimeInformation(text.get()), E_ACCESSDENIED);
    device.lower->OfferRuntimeInformation(false);
    EXPECT_EQ(runtime->ChangeRuntimeInformation(text.get()), S_OK);

    // The new port counts for the same-target test at once.
    Text target(WIDE("[DRVR]\r\nPORT=COM2\r\n[NET]\r\nNET=LINE1\r\n"));
    LONG same = -1;
    EXPECT_EQ(device.layer->SamePhysicalTarget(target.get(), &same), S_OK);
    EXPECT_EQ(same, 1);
    runtime = nullptr;
    Lines();
    Shutdown(device);
}

TEST_F(RuntimeInformationTest, SameTargetMeansTheSamePortAndNetworkByteForByte) {
    struct Case {
        const char* name;
        const WCHAR* text;
        LONG same;
    };
    const std::vector<Case> cases = {
        {"the device's own", kDeviceText, 1},
        {"other addresses and numbers",
         WIDE("[ADDRESS]\r\nDNA=9\r\n[NET]\r\nTMO=1\r\nFRAME=2\r\nNET=LINE1\r\n"
              "[DRVR]\r\nPORT=COM1\r\n"),
         1},
        {"network differing in case", WIDE("[NET]\r\nNET=Line1\r\n[DRVR]\r\nPORT=COM1\r\n"), 0},
        {"port with a trailing blank", WIDE("[NET]\r\nNET=LINE1\r\n[DRVR]\r\nPORT=COM1 \r\n"), 0},
        {"no network", WIDE("[DRVR]\r\nPORT=COM1\r\n"), 0},
        {"empty network", WIDE("[NET]\r\nNET=\r\n[DRVR]\r\nPORT=COM1\r\n"), 0},
        {"empty text", WIDE(""), 0},
        {"null text", nullptr, 0},
    };
    Device device = InitialisedDevice();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Text text(c.text);
        LONG same = -1;
        EXPECT_EQ(device.layer->SamePhysicalTarget(text.get(), &same), S_OK);
        EXPECT_EQ(same, c.same);
        EXPECT_EQ(Lines(), (TraceLines{"CVORNProtocol::SamePhysicalTarget() IN\n"}));
    }
    Text own(kDeviceText);
    EXPECT_EQ(device.layer->SamePhysicalTarget(own.get(), nullptr), E_POINTER);
    Lines();
    Shutdown(device);
}

TEST_F(RuntimeInformationTest, SameTargetFailsBeforeInitialiseAndLeavesTheAnswerAlone) {
    Device device = NewDevice();
    Text own(kDeviceText);
    LONG same = -7;
    EXPECT_EQ(device.layer->SamePhysicalTarget(own.get(), &same), E_FAIL);
    EXPECT_EQ(same, -7);
    EXPECT_EQ(Lines(),
              (TraceLines{"CVORNProtocol::SamePhysicalTarget() IN\n",
                          "ERROR: CVORNProtocol::SamePhysicalTarget() Not Initialised\n"}));
    Shutdown(device);
}

}  // namespace
}  // namespace protocol_tests
