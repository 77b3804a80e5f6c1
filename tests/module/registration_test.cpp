// Registration of the module: by the installer tool in a separate process (regsvr32 under Wine,
// the test host on Linux) with the keys read back from the system's registry, a client process
// that creates the layer through that registration, and the component-catalog half with the
// stand-in catalog of this process.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "interfaces/vorn_ids.h"
#include "module_file.h"
#include "platform/module_image.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "registration_tool.h"
#include "stack/testing/stack_test.h"

namespace {

using module_testing::LoadedModulePath;
using module_testing::ModuleEntryPoints;
using module_testing::ModuleFile;
using module_testing::RunHelper;
using module_testing::RunRegistrationTool;
using platform::WideString;

WideString GuidText(const GUID& guid) {
    OLECHAR text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

const WideString kClassKey = WideString(WIDE("CLSID\\")) + GuidText(CLSID_VORNProtocol);
const WideString kLibraryKey =
    WideString(WIDE("TypeLib\\")) + GuidText(LIBID_VELDO_VORNPROTOCOLLib);
constexpr const WCHAR* kProgId = WIDE("Halvek.Protocol.VORNProtocol.1");
constexpr const WCHAR* kIndependentProgId = WIDE("Halvek.Protocol.VORNProtocol");

std::optional<WideString> Value(const WideString& key, const WCHAR* name = WIDE("")) {
    std::optional<WideString> value;
    EXPECT_EQ(platform::ClassesRoot().QueryValue(key, platform::WideView(name), value), S_OK);
    return value;
}

platform::RegistryKeyState Key(const WideString& key) {
    platform::RegistryKeyState state;
    EXPECT_EQ(platform::ClassesRoot().QueryKey(key, state), S_OK);
    return state;
}

// Every key and value that registration writes, with the subkeys each key must have.
void ExpectRegistered(const std::string& modulePath) {
    struct Entry {
        WideString key;
        const WCHAR* name;
        WideString value;
        std::size_t subkeys;
    };
    const WideString classText = WIDE("HALVEK VORNProtocol Class");
    const WideString classId = GuidText(CLSID_VORNProtocol);
    const Entry entries[] = {
        {kProgId, WIDE(""), classText, 1},
        {WideString(kProgId) + WIDE("\\CLSID"), WIDE(""), classId, 0},
        {kIndependentProgId, WIDE(""), classText, 2},
        {WideString(kIndependentProgId) + WIDE("\\CLSID"), WIDE(""), classId, 0},
        {WideString(kIndependentProgId) + WIDE("\\CurVer"), WIDE(""), kProgId, 0},
        {kClassKey, WIDE(""), classText, 4},
        {kClassKey + WIDE("\\ProgID"), WIDE(""), kProgId, 0},
        {kClassKey + WIDE("\\VersionIndependentProgID"), WIDE(""), kIndependentProgId, 0},
        {kClassKey + WIDE("\\InprocServer32"), WIDE(""), platform::AnsiToWide(modulePath), 0},
        {kClassKey + WIDE("\\InprocServer32"), WIDE("ThreadingModel"), WIDE("Apartment"), 0},
        {kClassKey + WIDE("\\TypeLib"), WIDE(""), GuidText(LIBID_VELDO_VORNPROTOCOLLib), 0},
        {kLibraryKey + WIDE("\\1.0"), WIDE(""), WIDE("VELDO_VORNProtocol 1.0 Type Library"), 3},
        {kLibraryKey + WIDE("\\1.0\\409\\win64"), WIDE(""), platform::AnsiToWide(modulePath), 0},
        {kLibraryKey + WIDE("\\1.0\\FLAGS"), WIDE(""), WIDE("8"), 0},
        {kLibraryKey + WIDE("\\1.0\\HELPDIR"), WIDE(""),
         platform::AnsiToWide(modulePath.substr(0, modulePath.find_last_of("\\/"))), 0},
    };
    for (const Entry& entry : entries) {
        SCOPED_TRACE(platform::WideToAnsi(entry.key) + " " + platform::WideToAnsi(entry.name));
        EXPECT_EQ(Value(entry.key, entry.name), entry.value);
        EXPECT_EQ(Key(entry.key).subkeys, entry.subkeys);
    }
}

void ExpectUnregistered() {
    for (const WideString& key :
         {WideString(kProgId), WideString(kIndependentProgId), kClassKey, kLibraryKey}) {
        SCOPED_TRACE(platform::WideToAnsi(key));
        EXPECT_FALSE(Key(key).exists);
    }
    EXPECT_TRUE(Key(WIDE("CLSID")).exists);
}

class RegistrationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { modulePath_ = LoadedModulePath(); }

    void SetUp() override { ASSERT_FALSE(modulePath_.empty()) << ModuleFile(); }
    // Whatever a test left, the next one starts unregistered.
    void TearDown() override { RunRegistrationTool(false, modulePath_); }

    static std::string modulePath_;
};

std::string RegistrationTest::modulePath_;

TEST_F(RegistrationTest, InstallerToolRegistersAgainAndUnregisters) {
    ASSERT_EQ(RunRegistrationTool(true, modulePath_), 0);
    ExpectRegistered(modulePath_);

    // Registering again rewrites the class key whole, dropping what was added below it.
    ASSERT_EQ(platform::ClassesRoot().CreateKey(kClassKey + WIDE("\\Stale")), S_OK);
    ASSERT_EQ(RunRegistrationTool(true, modulePath_), 0);
    ExpectRegistered(modulePath_);
    EXPECT_FALSE(Key(kClassKey + WIDE("\\Stale")).exists);

    ASSERT_EQ(RunRegistrationTool(false, modulePath_), 0);
    ExpectUnregistered();
}

TEST_F(RegistrationTest, ClientProcessCreatesTheLayerThroughTheRegistration) {
    ASSERT_EQ(RunRegistrationTool(true, modulePath_), 0);
    std::string output;
    EXPECT_EQ(RunHelper({"client"}, output), 0);
    // The client's own apartment may be a nested initialisation (S_FALSE) on Linux.
    const std::string comLine = output.substr(0, output.find('\n') + 1);
    EXPECT_TRUE(comLine == "com 0x00000000\n" || comLine == "com 0x00000001\n") << comLine;
    EXPECT_EQ(output.substr(comLine.size()),
              "classes 0x00000000\n"
              "create 0x00000000\n"
              "runtime 0x00000000\n"
              "marshal 0x00000000\n"
              "unmarshaler {0000033A-0000-0000-C000-000000000046}\n"
              "dispatch 0x80004002\n"
              "aggregate 0x00000000\n"
              "contained 0x00000000\n");
}

class CatalogRegistrationTest : public stack::testing::StackTest {
protected:
    void SetUp() override {
        StackTest::SetUp();
        if (HasFatalFailure()) return;
        library_ = platform::DynamicLibrary::Load(ModuleFile());
        ASSERT_TRUE(library_.valid());
        entry_.emplace(library_);
        ASSERT_TRUE(entry_->complete());
    }
    void TearDown() override {
        entry_->unregisterServer();
        entry_.reset();
        library_.Unload();
        StackTest::TearDown();
    }

    platform::DynamicLibrary library_;
    std::optional<ModuleEntryPoints> entry_;
};

TEST_F(CatalogRegistrationTest, CatalogEntryComesFirstAndNeverDecidesTheResult) {
    const std::string value = "[CLSID=" + platform::WideToAnsi(GuidText(CLSID_VORNProtocol)) +
                              ":PROGID=Halvek.Protocol.VORNProtocol.1]";
    ASSERT_EQ(value.size(), 7u + 38u + 39u);
    const std::string section = "section=COMPONENTS\\PROTOCOLS";
    const std::string added = section + " key=VORN value=" + value;

    struct Case {
        const char* name;
        bool catalogRegistered;
        const char* failing;  // operation made to fail with E_FAIL, or null
        std::vector<std::string> registration;
        std::vector<std::string> unregistration;
    };
    const Case cases[] = {
        {"catalog available",
         true,
         nullptr,
         {"ComponentCatalog::Create", "ComponentCatalog::CreateSection",
          "ComponentCatalog::SetEntry"},
         {"ComponentCatalog::Create", "ComponentCatalog::RemoveEntry"}},
        {"no catalog", false, nullptr, {}, {}},
        {"catalog not creatable",
         true,
         "ComponentCatalog::Create",
         {"ComponentCatalog::Create"},
         {"ComponentCatalog::Create"}},
        {"section refused",
         true,
         "ComponentCatalog::CreateSection",
         {"ComponentCatalog::Create", "ComponentCatalog::CreateSection",
          "ComponentCatalog::SetEntry"},
         {"ComponentCatalog::Create", "ComponentCatalog::RemoveEntry"}},
        {"entry refused",
         true,
         "ComponentCatalog::SetEntry",
         {"ComponentCatalog::Create", "ComponentCatalog::CreateSection",
          "ComponentCatalog::SetEntry"},
         {"ComponentCatalog::Create", "ComponentCatalog::RemoveEntry"}},
        {"removal refused",
         true,
         "ComponentCatalog::RemoveEntry",
         {"ComponentCatalog::Create", "ComponentCatalog::CreateSection",
          "ComponentCatalog::SetEntry"},
         {"ComponentCatalog::Create", "ComponentCatalog::RemoveEntry"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        env().Reset();
        if (c.catalogRegistered) {
            RegisterClassesExcept({});
        } else {
            RegisterClassesExcept({stack::StandInClass::ComponentCatalog});
        }
        if (c.failing != nullptr) env().FailFromCall(c.failing, 1, E_FAIL);

        EXPECT_EQ(entry_->registerServer(), S_OK);
        EXPECT_EQ(env().Log().Operations("ComponentCatalog"), c.registration);
        ExpectRegistered(LoadedModulePath());
        if (c.failing == nullptr && c.catalogRegistered) {
            const auto calls = env().Log().Calls("ComponentCatalog::SetEntry");
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].arguments, added);
            EXPECT_EQ(env().Log().Calls("ComponentCatalog::CreateSection")[0].arguments, section);
        }

        env().Log().Clear();
        EXPECT_EQ(entry_->unregisterServer(), S_OK);
        EXPECT_EQ(env().Log().Operations("ComponentCatalog"), c.unregistration);
        if (c.failing == nullptr && c.catalogRegistered) {
            EXPECT_EQ(env().Log().Calls("ComponentCatalog::RemoveEntry")[0].arguments,
                      section + " key=VORN");
        }
        ExpectUnregistered();
    }
    ExpectAllReleased();
}

}  // namespace
