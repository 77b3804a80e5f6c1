// Linux: the platform's CoCreateInstance finds a registered in-process server through the
// registry store, keeps it loaded while it is in use and unloads it in CoFreeUnusedLibraries;
// and a registry that cannot be written fails the COM half of registration while the catalog
// half stays done.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "interfaces/layer_interfaces.h"
#include "interfaces/vorn_ids.h"
#include "module_file.h"
#include "platform/com_ptr.h"
#include "platform/posix/registry_store.h"
#include "stack/testing/stack_test.h"

namespace {

using module_testing::ModuleEntryPoints;
using module_testing::ModuleFile;
using platform::posix::RegistryFile;
using platform::posix::RegistryTree;

class RegistryActivationTest : public stack::testing::StackTest {
protected:
    // Registers the module and drops this test's own load of it, so that only the platform
    // holds it afterwards.
    void RegisterModule() {
        auto library = platform::DynamicLibrary::Load(ModuleFile());
        ASSERT_TRUE(library.valid());
        ModuleEntryPoints entry(library);
        ASSERT_EQ(entry.registerServer(), S_OK);
    }

    void TearDown() override {
        if (auto library = platform::DynamicLibrary::Load(ModuleFile()); library.valid()) {
            ModuleEntryPoints(library).unregisterServer();
        }
        CoFreeUnusedLibraries();
        StackTest::TearDown();
    }

    static HRESULT Create(platform::ComPtr<IVELDO_ProtocolComms>& layer) {
        return CoCreateInstance(CLSID_VORNProtocol, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IVELDO_ProtocolComms, layer.put_void());
    }
};

TEST_F(RegistryActivationTest, RegisteredServerIsLoadedWhileInUseAndUnloadedWhenNot) {
    platform::ComPtr<IVELDO_ProtocolComms> layer;
    EXPECT_EQ(Create(layer), REGDB_E_CLASSNOTREG);

    RegisterModule();
    ASSERT_FALSE(platform::DynamicLibrary::IsLoaded(ModuleFile()));
    ASSERT_EQ(Create(layer), S_OK);
    EXPECT_TRUE(platform::DynamicLibrary::IsLoaded(ModuleFile()));

    CoFreeUnusedLibraries();  // the layer lives: the server stays
    EXPECT_TRUE(platform::DynamicLibrary::IsLoaded(ModuleFile()));
    platform::ComPtr<IVELDO_RuntimeInformation> runtime;
    EXPECT_EQ(layer.query_to(&runtime), S_OK);

    layer = nullptr;
    runtime = nullptr;
    CoFreeUnusedLibraries();
    EXPECT_FALSE(platform::DynamicLibrary::IsLoaded(ModuleFile()));

    // Loaded again on the next creation.
    ASSERT_EQ(Create(layer), S_OK);
    layer = nullptr;
    ExpectAllReleased();
}

TEST_F(RegistryActivationTest, RegistrationNamingNoUsableServer) {
    struct Case {
        const char* name;
        std::string server;
        HRESULT expected;
    };
    const std::string notAModule = ModuleFile() + ".missing";
    const Case cases[] = {
        {"no such file", notAModule, CO_E_DLLNOTFOUND},
        {"no DllGetClassObject", "libc.so.6", CO_E_ERRORINDLL},
        {"empty path", "", REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(RegistryFile::Update([&](RegistryTree& tree) {
                      const std::string key =
                          "CLSID\\{9CB2BD36-16F7-413C-9ACE-61F9DDE5E10D}\\InprocServer32";
                      const HRESULT created = tree.CreateKey(key);
                      return FAILED(created) ? created : tree.SetValue(key, "", c.server);
                  }),
                  S_OK);
        platform::ComPtr<IVELDO_ProtocolComms> layer;
        EXPECT_EQ(Create(layer), c.expected);
        EXPECT_EQ(layer.get(), nullptr);
    }
    ASSERT_EQ(RegistryFile::Update([](RegistryTree& tree) { return tree.DeleteTree("CLSID"); }),
              S_OK);
}

TEST_F(RegistryActivationTest, UnwritableRegistryFailsTheComHalfOnly) {
    // A store that reads (as empty) but cannot be locked for writing, whoever runs the test.
    const std::string saved = RegistryFile::Location();
    const std::filesystem::path directory =
        std::filesystem::path(saved).parent_path() / "unwritable";
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory / "registry.lock");
    ::setenv("VORN_REGISTRY_FILE", (directory / "registry").c_str(), 1);
    HRESULT registered = S_OK;
    {
        auto library = platform::DynamicLibrary::Load(ModuleFile());
        ASSERT_TRUE(library.valid());
        registered = ModuleEntryPoints(library).registerServer();
    }
    ::setenv("VORN_REGISTRY_FILE", saved.c_str(), 1);
    std::filesystem::remove_all(directory);

    EXPECT_EQ(registered, REGDB_E_WRITEREGDB);
    EXPECT_EQ(env().Catalog().Entry(WIDE("COMPONENTS\\PROTOCOLS"), WIDE("VORN")),
              platform::WideString(WIDE("[CLSID={9CB2BD36-16F7-413C-9ACE-61F9DDE5E10D}:PROGID="
                                        "Halvek.Protocol.VORNProtocol.1]")));
}

}  // namespace
