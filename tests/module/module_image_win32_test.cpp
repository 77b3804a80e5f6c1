// Windows: the DLL's exports by ordinal and its version block, read back through the system.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module_file.h"
#include "platform/module_image.h"

namespace {

using module_testing::ModuleFile;

TEST(ModuleImageTest, EntryPointsHaveOrdinalsOneToFour) {
    auto library = platform::DynamicLibrary::Load(ModuleFile());
    ASSERT_TRUE(library.valid());
    using Any = void (*)();
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                           "DllUnregisterServer"};
    for (unsigned ordinal = 1; ordinal <= 4; ++ordinal) {
        SCOPED_TRACE(names[ordinal - 1]);
        const Any byName = library.Function<Any>(names[ordinal - 1]);
        ASSERT_NE(byName, nullptr);
        EXPECT_EQ(library.FunctionAt<Any>(ordinal), byName);
    }
    EXPECT_EQ(library.FunctionAt<Any>(5), nullptr);
    EXPECT_EQ(library.Function<Any>("DllMain"), nullptr);
}

TEST(ModuleImageTest, VersionBlockReadsBack) {
    auto library = platform::DynamicLibrary::Load(ModuleFile());
    const auto entry = library.Function<void (*)()>("DllCanUnloadNow");
    ASSERT_NE(entry, nullptr);
    const std::wstring path(
        platform::ModuleFileName(platform::ModuleOfAddress(reinterpret_cast<const void*>(entry))));
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00010019u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00010019u);

    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation->language, 0x0409);
    EXPECT_EQ(translation->codePage, 0x04B0);

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"CompanyName", L""},
        {L"FileDescription", L"VELDO_VORNProtocol Module"},
        {L"FileVersion", L"2,2,1,25"},
        {L"InternalName", L"VELDO_VORNProtocol"},
        {L"OriginalFilename", L"VELDO_VORNProtocol.DLL"},
        {L"ProductName", L"VELDO_VORNProtocol Module"},
        {L"ProductVersion", L"2,2,1,25"},
        {L"OLESelfRegister", L""},
    };
    for (const auto& [name, expected] : strings) {
        SCOPED_TRACE(std::string(name, name + std::wcslen(name)));
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        wchar_t* value = nullptr;
        length = 0;
        ASSERT_TRUE(::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value),
                                     &length));
        const std::wstring text = value != nullptr && length > 0 ? std::wstring(value) : L"";
        EXPECT_EQ(text, expected);
    }
}

}  // namespace
