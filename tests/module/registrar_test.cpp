// The registrar against an in-memory registry: the module's own script registered and
// unregistered as a round trip, a second registration, the undo of a registration that fails
// part-way, and scripts it must refuse without writing anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "allocation_failure.h"
#include "memory_registry.h"
#include "module/registrar.h"
#include "module_registry_script.h"
#include "platform/text.h"

namespace {

using module_testing::MemoryRegistry;

constexpr const char* kClassKey = "CLSID\\{9CB2BD36-16F7-413C-9ACE-61F9DDE5E10D}";

// A path with a quote, which the script holds inside a quoted string.
const platform::WideString kModulePath =
    platform::AnsiToWide("C:\\O'Brien\\VELDO_VORNProtocol.dll");

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::ranges::sort(lines);
    return lines;
}

// What the module's script writes into an empty registry.
std::vector<std::string> ModuleRegistration() {
    const std::string cls = kClassKey;
    return Sorted({
        "KEY Halvek.Protocol.VORNProtocol.1",
        "VAL Halvek.Protocol.VORNProtocol.1|=HALVEK VORNProtocol Class",
        "KEY Halvek.Protocol.VORNProtocol.1\\CLSID",
        "VAL Halvek.Protocol.VORNProtocol.1\\CLSID|={9CB2BD36-16F7-413C-9ACE-61F9DDE5E10D}",
        "KEY Halvek.Protocol.VORNProtocol",
        "VAL Halvek.Protocol.VORNProtocol|=HALVEK VORNProtocol Class",
        "KEY Halvek.Protocol.VORNProtocol\\CLSID",
        "VAL Halvek.Protocol.VORNProtocol\\CLSID|={9CB2BD36-16F7-413C-9ACE-61F9DDE5E10D}",
        "KEY Halvek.Protocol.VORNProtocol\\CurVer",
        "VAL Halvek.Protocol.VORNProtocol\\CurVer|=Halvek.Protocol.VORNProtocol.1",
        "KEY CLSID",
        "KEY " + cls,
        "VAL " + cls + "|=HALVEK VORNProtocol Class",
        "KEY " + cls + "\\ProgID",
        "VAL " + cls + "\\ProgID|=Halvek.Protocol.VORNProtocol.1",
        "KEY " + cls + "\\VersionIndependentProgID",
        "VAL " + cls + "\\VersionIndependentProgID|=Halvek.Protocol.VORNProtocol",
        "KEY " + cls + "\\InprocServer32",
        "VAL " + cls + "\\InprocServer32|=C:\\O'Brien\\VELDO_VORNProtocol.dll",
        "VAL " + cls + "\\InprocServer32|ThreadingModel=Apartment",
        "KEY " + cls + "\\TypeLib",
        "VAL " + cls + "\\TypeLib|={D3845421-758F-4F73-938F-19BE2AC96543}",
    });
}

class RegistrarTest : public ::testing::Test {
protected:
    HRESULT Register(std::string_view script) { return Make().Register(Wide(script)); }
    HRESULT Unregister(std::string_view script) { return Make().Unregister(Wide(script)); }

    static platform::WideString Wide(std::string_view text) { return platform::AnsiToWide(text); }

    module::Registrar Make() {
        module::Registrar registrar(registry_);
        registrar.AddReplacement(WIDE("MODULE"), kModulePath);
        return registrar;
    }

    MemoryRegistry registry_;
};

TEST_F(RegistrarTest, ModuleScriptRoundTrip) {
    // Something else registered under CLSID before: unregistration must leave it alone.
    ASSERT_EQ(registry_.CreateKey(WIDE("CLSID\\{OTHER}")), S_OK);
    std::vector<std::string> expected = ModuleRegistration();
    expected.push_back("KEY CLSID\\{OTHER}");

    ASSERT_EQ(Register(kModuleRegistryScript), S_OK);
    EXPECT_EQ(Sorted(registry_.Contents()), Sorted(expected));

    ASSERT_EQ(Unregister(kModuleRegistryScript), S_OK);
    EXPECT_EQ(registry_.Contents(), (std::vector<std::string>{"KEY CLSID", "KEY CLSID\\{OTHER}"}));

    // Unregistering what is not there is no failure.
    EXPECT_EQ(Unregister(kModuleRegistryScript), S_OK);
}

TEST_F(RegistrarTest, SecondRegistrationRewritesTheForceRemoveKeyWhole) {
    ASSERT_EQ(Register(kModuleRegistryScript), S_OK);
    const std::string stale = std::string(kClassKey) + "\\Stale";
    ASSERT_EQ(registry_.CreateKey(Wide(stale)), S_OK);
    ASSERT_EQ(registry_.SetValue(Wide(kClassKey), WIDE("Extra"), WIDE("x")), S_OK);

    ASSERT_EQ(Register(kModuleRegistryScript), S_OK);
    EXPECT_EQ(Sorted(registry_.Contents()), ModuleRegistration());
}

TEST_F(RegistrarTest, UnregistrationKeepsKeysThatHoldMoreThanTheScriptWrote) {
    ASSERT_EQ(Register(kModuleRegistryScript), S_OK);
    // Another version registered below the version-independent program identifier.
    ASSERT_EQ(registry_.CreateKey(WIDE("Halvek.Protocol.VORNProtocol\\Other")), S_OK);

    ASSERT_EQ(Unregister(kModuleRegistryScript), S_OK);
    EXPECT_EQ(
        registry_.Contents(),
        (std::vector<std::string>{"KEY CLSID", "KEY Halvek.Protocol.VORNProtocol",
                                  "VAL Halvek.Protocol.VORNProtocol|=HALVEK VORNProtocol Class",
                                  "KEY Halvek.Protocol.VORNProtocol\\Other"}));
}

// Fails each write of the registration in turn: whatever the failing step, the failure is
// returned and the registry is as before, with overwritten values put back.
TEST_F(RegistrarTest, FailedRegistrationUndoesWhatItWrote) {
    ASSERT_EQ(registry_.CreateKey(WIDE("CLSID\\{OTHER}")), S_OK);
    ASSERT_EQ(registry_.CreateKey(WIDE("Halvek.Protocol.VORNProtocol")), S_OK);
    ASSERT_EQ(registry_.SetValue(WIDE("Halvek.Protocol.VORNProtocol"), {}, WIDE("Old text")), S_OK);
    const std::vector<std::string> before = registry_.Contents();

    ASSERT_EQ(Register(kModuleRegistryScript), S_OK);
    const int writes = registry_.Writes() - 3;  // the arrangement's three writes
    ASSERT_EQ(Unregister(kModuleRegistryScript), S_OK);
    ASSERT_EQ(registry_.CreateKey(WIDE("Halvek.Protocol.VORNProtocol")), S_OK);
    ASSERT_EQ(registry_.SetValue(WIDE("Halvek.Protocol.VORNProtocol"), {}, WIDE("Old text")), S_OK);
    ASSERT_EQ(registry_.Contents(), before);

    for (int failing = 1; failing <= writes; ++failing) {
        SCOPED_TRACE("failing write " + std::to_string(failing));
        registry_.FailWrite(failing, E_ACCESSDENIED);
        EXPECT_EQ(Register(kModuleRegistryScript), E_ACCESSDENIED);
        EXPECT_EQ(registry_.Contents(), before);
    }
    registry_.FailWrite(0);
}

// Memory running out at any allocation of a registration: it completes, or it reports
// E_OUTOFMEMORY and the registry is as before.
TEST_F(RegistrarTest, RegistrationOutOfMemoryLeavesTheRegistryAsItWas) {
    ASSERT_EQ(registry_.CreateKey(WIDE("CLSID\\{OTHER}")), S_OK);
    const std::vector<std::string> before = registry_.Contents();
    const platform::WideString script = Wide(kModuleRegistryScript);
    for (long n = 1;; ++n) {
        SCOPED_TRACE("failing allocation " + std::to_string(n));
        module::Registrar registrar = Make();
        HRESULT hr;
        bool happened;
        {
            testing_support::ScopedAllocationFailure failure(n);
            hr = registrar.Register(script);
            happened = failure.Happened();
        }
        if (!happened) {
            EXPECT_EQ(hr, S_OK);
            break;
        }
        ASSERT_EQ(hr, E_OUTOFMEMORY);
        ASSERT_EQ(registry_.Contents(), before);
    }
}

TEST_F(RegistrarTest, ReplacementsAndQuotes) {
    struct Case {
        const char* script;
        const char* value;
    };
    const Case cases[] = {
        {"HKCR { K = s '%MODULE%' }", "C:\\O'Brien\\VELDO_VORNProtocol.dll"},
        {"HKCR { K = s '%module%' }", "C:\\O'Brien\\VELDO_VORNProtocol.dll"},
        {"HKCR { K = s '100%%' }", "100%"},
        {"hkey_classes_root { K = s 'it''s' }", "it's"},
        {"HKCR { 'K' = s '' }", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        MemoryRegistry registry;
        module::Registrar registrar(registry);
        registrar.AddReplacement(WIDE("Module"), kModulePath);
        ASSERT_EQ(registrar.Register(Wide(c.script)), S_OK);
        EXPECT_EQ(registry.Contents(),
                  (std::vector<std::string>{"KEY K", std::string("VAL K|=") + c.value}));
    }
}

TEST_F(RegistrarTest, ScriptsThatDoNotParseWriteNothing) {
    std::string deep = "HKCR {";
    for (int i = 0; i <= module::kMaxScriptDepth; ++i) deep += " K {";
    for (int i = 0; i <= module::kMaxScriptDepth; ++i) deep += " }";
    deep += " }";

    const std::string bad[] = {
        "HKCR { A = s 'open }",        // unterminated quote
        "HKCR { A { B }",              // missing brace
        "HKCR { A } }",                // stray brace
        "HKLM { A }",                  // only HKEY_CLASSES_ROOT
        "HKCR { val V = s 'x' }",      // a value needs a key
        "HKCR { A = d '5' }",          // only string values
        "HKCR { A = 'x' }",            // no type
        "HKCR { 'A\\B' }",             // a key name holds no '\'
        "HKCR { '' }",                 // nor is it empty
        "HKCR { A = s '%UNKNOWN%' }",  // unknown replacement
        "HKCR { A = s '50%' }",        // lone %
        "HKCR { NoRemove }",           // keyword without a name
        "HKCR { A { val = s 'x' } }",  // value without a name
        deep,                          // nested too deep
    };
    for (const std::string& script : bad) {
        SCOPED_TRACE(script);
        EXPECT_EQ(Register(script), DISP_E_EXCEPTION);
        EXPECT_EQ(Unregister(script), DISP_E_EXCEPTION);
        EXPECT_EQ(registry_.Writes(), 0);
    }
}

}  // namespace
