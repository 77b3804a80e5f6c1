// Windows: what regsvr32's registration looks like to the system's own tools and loaders: reg
// query lists every key and value, and the type library loads by its library id.
#include <windows.h>

#include <oleauto.h>

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/vorn_ids.h"
#include "module_file.h"
#include "platform/module_image.h"
#include "platform/text.h"
#include "registration_tool.h"

namespace {

using module_testing::LoadedModulePath;
using module_testing::ModuleEntryPoints;
using module_testing::ModuleFile;
using module_testing::RunProgram;
using module_testing::RunRegistrationTool;

std::string SystemProgram(const char* name) {
    char system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system, length) + "\\" + name;
}

// "reg query <key> /s" as "KEY <path>" and "VAL <path>|<name>=<data>" lines.
std::set<std::string> RegQuery(const std::string& key) {
    std::string output;
    EXPECT_EQ(RunProgram(SystemProgram("reg.exe"), {"query", key, "/s"}, output), 0) << key;
    std::set<std::string> entries;
    std::istringstream lines(output);
    std::string line;
    std::string current;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("HKEY_")) {
            current = line;
            entries.insert("KEY " + current);
        } else if (line.starts_with("    ")) {
            // "    <name>    <type>    <data>"
            const std::size_t typeStart = line.find("    ", 4);
            const std::size_t dataStart = line.find("    ", typeStart + 4);
            if (typeStart == std::string::npos || dataStart == std::string::npos) continue;
            entries.insert("VAL " + current + "|" + line.substr(4, typeStart - 4) + "=" +
                           line.substr(typeStart + 4, dataStart - typeStart - 4) + " " +
                           line.substr(dataStart + 4));
        }
    }
    return entries;
}

class RegistrationWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        modulePath_ = LoadedModulePath();
        ASSERT_FALSE(modulePath_.empty());
        ASSERT_EQ(RunRegistrationTool(true, modulePath_), 0);
    }
    void TearDown() override { RunRegistrationTool(false, modulePath_); }

    std::string modulePath_;
};

TEST_F(RegistrationWin32Test, RegQueryShowsEveryKeyAndValue) {
    const std::string root = "HKEY_CLASSES_ROOT\\";
    const std::string cls = root + "CLSID\\{9CB2BD36-16F7-413C-9ACE-61F9DDE5E10D}";
    const std::string progId = root + "Halvek.Protocol.VORNProtocol.1";
    const std::string independent = root + "Halvek.Protocol.VORNProtocol";
    const std::set<std::string> expected = {
        "KEY " + progId,
        "VAL " + progId + "|(Default)=REG_SZ HALVEK VORNProtocol Class",
        "KEY " + progId + "\\CLSID",
        "VAL " + progId + "\\CLSID|(Default)=REG_SZ {9CB2BD36-16F7-413C-9ACE-61F9DDE5E10D}",
        "KEY " + independent,
        "VAL " + independent + "|(Default)=REG_SZ HALVEK VORNProtocol Class",
        "KEY " + independent + "\\CLSID",
        "VAL " + independent + "\\CLSID|(Default)=REG_SZ {9CB2BD36-16F7-413C-9ACE-61F9DDE5E10D}",
        "KEY " + independent + "\\CurVer",
        "VAL " + independent + "\\CurVer|(Default)=REG_SZ Halvek.Protocol.VORNProtocol.1",
        "KEY " + cls,
        "VAL " + cls + "|(Default)=REG_SZ HALVEK VORNProtocol Class",
        "KEY " + cls + "\\InprocServer32",
        "VAL " + cls + "\\InprocServer32|(Default)=REG_SZ " + modulePath_,
        "VAL " + cls + "\\InprocServer32|ThreadingModel=REG_SZ Apartment",
        "KEY " + cls + "\\ProgID",
        "VAL " + cls + "\\ProgID|(Default)=REG_SZ Halvek.Protocol.VORNProtocol.1",
        "KEY " + cls + "\\TypeLib",
        "VAL " + cls + "\\TypeLib|(Default)=REG_SZ {D3845421-758F-4F73-938F-19BE2AC96543}",
        "KEY " + cls + "\\VersionIndependentProgID",
        "VAL " + cls + "\\VersionIndependentProgID|(Default)=REG_SZ Halvek.Protocol.VORNProtocol",
    };
    std::set<std::string> listed = RegQuery(progId);
    listed.merge(RegQuery(independent));
    listed.merge(RegQuery(cls));
    EXPECT_EQ(listed, expected);
}

TEST_F(RegistrationWin32Test, TypeLibraryLoadsByItsLibraryId) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(::LoadRegTypeLib(LIBID_VELDO_VORNPROTOCOLLib, 1, 0, 0x409, &library), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_VELDO_VORNPROTOCOLLib));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    library->ReleaseTLibAttr(attributes);
    ITypeInfo* coclass = nullptr;
    EXPECT_EQ(library->GetTypeInfoOfGuid(CLSID_VORNProtocol, &coclass), S_OK);
    if (coclass != nullptr) coclass->Release();
    library->Release();

    ASSERT_EQ(RunRegistrationTool(false, modulePath_), 0);
    library = nullptr;
    EXPECT_TRUE(FAILED(::LoadRegTypeLib(LIBID_VELDO_VORNPROTOCOLLib, 1, 0, 0x409, &library)));
    if (library != nullptr) library->Release();
}

}  // namespace
