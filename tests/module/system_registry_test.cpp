// The system's HKEY_CLASSES_ROOT through platform::Registry (the real registry under Wine, the
// store file on Linux): the answers the registrar relies on, on a scratch key of this program.
#include <gtest/gtest.h>

#include <optional>

#include "platform/registry.h"

namespace {

constexpr const WCHAR* kScratch = WIDE("VornRegistryTest");
constexpr const WCHAR* kChild = WIDE("VornRegistryTest\\Child");
constexpr const WCHAR* kGrandchild = WIDE("VornRegistryTest\\Child\\Grandchild");

class SystemRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(registry_.DeleteTree(kScratch))); }
    void TearDown() override { registry_.DeleteTree(kScratch); }

    std::optional<platform::WideString> Value(const WCHAR* path, const WCHAR* name) {
        std::optional<platform::WideString> value;
        EXPECT_EQ(registry_.QueryValue(platform::WideView(path), platform::WideView(name), value),
                  S_OK);
        return value;
    }

    platform::RegistryKeyState Key(const WCHAR* path) {
        platform::RegistryKeyState state;
        EXPECT_EQ(registry_.QueryKey(platform::WideView(path), state), S_OK);
        return state;
    }

    platform::Registry& registry_ = platform::ClassesRoot();
};

TEST_F(SystemRegistryTest, KeysAndValuesRoundTrip) {
    EXPECT_EQ(registry_.SetValue(kChild, {}, WIDE("x")), REGDB_E_KEYMISSING);
    ASSERT_EQ(registry_.CreateKey(kGrandchild), S_OK);  // with its parents
    EXPECT_EQ(registry_.CreateKey(kChild), S_OK);       // existing
    ASSERT_EQ(registry_.SetValue(kChild, {}, WIDE("default")), S_OK);
    ASSERT_EQ(registry_.SetValue(kChild, WIDE("Named"), WIDE("first")), S_OK);
    ASSERT_EQ(registry_.SetValue(kChild, WIDE("NAMED"), WIDE("second")), S_OK);  // same value
    ASSERT_EQ(registry_.SetValue(kChild, WIDE("Empty"), {}), S_OK);

    EXPECT_EQ(Value(kChild, WIDE("")), platform::WideString(WIDE("default")));
    EXPECT_EQ(Value(WIDE("vornregistrytest\\CHILD"), WIDE("named")),
              platform::WideString(WIDE("second")));
    EXPECT_EQ(Value(kChild, WIDE("Empty")), platform::WideString());
    EXPECT_EQ(Value(kChild, WIDE("Missing")), std::nullopt);
    EXPECT_EQ(Value(WIDE("VornRegistryTest\\Missing"), WIDE("")), std::nullopt);

    const platform::RegistryKeyState scratch = Key(kScratch);
    EXPECT_TRUE(scratch.exists);
    EXPECT_EQ(scratch.subkeys, 1u);
    EXPECT_FALSE(Key(WIDE("VornRegistryTest\\Missing")).exists);

    EXPECT_EQ(registry_.DeleteValue(kChild, WIDE("Named")), S_OK);
    EXPECT_EQ(registry_.DeleteValue(kChild, WIDE("Named")), S_FALSE);
    EXPECT_EQ(Value(kChild, WIDE("Named")), std::nullopt);
}

TEST_F(SystemRegistryTest, DeletingKeys) {
    ASSERT_EQ(registry_.CreateKey(kGrandchild), S_OK);
    ASSERT_EQ(registry_.SetValue(kChild, WIDE("Named"), WIDE("x")), S_OK);

    EXPECT_EQ(registry_.DeleteKey(kChild), E_ACCESSDENIED);  // a subkey below it
    EXPECT_TRUE(Key(kChild).exists);
    EXPECT_EQ(registry_.DeleteKey(kGrandchild), S_OK);
    EXPECT_EQ(registry_.DeleteKey(kGrandchild), S_FALSE);
    EXPECT_EQ(registry_.DeleteKey(kChild), S_OK);  // values go with it
    EXPECT_FALSE(Key(kChild).exists);

    ASSERT_EQ(registry_.CreateKey(kGrandchild), S_OK);
    EXPECT_EQ(registry_.DeleteTree(kScratch), S_OK);
    EXPECT_FALSE(Key(kScratch).exists);
    EXPECT_EQ(registry_.DeleteTree(kScratch), S_FALSE);
    EXPECT_EQ(registry_.DeleteTree({}), E_INVALIDARG);  // never the whole root
}

}  // namespace
