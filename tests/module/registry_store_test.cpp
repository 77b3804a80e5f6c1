// The Linux registry's store file: what survives a round trip through the file, where the file
// is, a file that does not parse, and concurrent writers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "platform/posix/registry_store.h"
#include "platform/result_macros.h"

namespace {

using platform::posix::RegistryFile;
using platform::posix::RegistryKeyInfo;
using platform::posix::RegistryTree;

// Points VORN_REGISTRY_FILE at a fresh file of the test's own and restores it afterwards.
class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* current = std::getenv("VORN_REGISTRY_FILE");
        if (current != nullptr) saved_ = current;
        directory_ = std::filesystem::temp_directory_path() /
                     ("vorn-registry-store-test-" + std::to_string(::getpid()));
        std::filesystem::remove_all(directory_);
        std::filesystem::create_directories(directory_);
        store_ = (directory_ / "registry").string();
        ::setenv("VORN_REGISTRY_FILE", store_.c_str(), 1);
    }
    void TearDown() override {
        if (saved_) {
            ::setenv("VORN_REGISTRY_FILE", saved_->c_str(), 1);
        } else {
            ::unsetenv("VORN_REGISTRY_FILE");
        }
        std::filesystem::remove_all(directory_);
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    static std::optional<std::string> Value(const RegistryTree& tree, std::string_view path,
                                            std::string_view name) {
        std::optional<std::string> value;
        EXPECT_EQ(tree.QueryValue(path, name, value), S_OK);
        return value;
    }

    std::filesystem::path directory_;
    std::string store_;
    std::optional<std::string> saved_;
};

TEST_F(RegistryStoreTest, ContentsSurviveTheFileExactly) {
    // Names and data with every byte that the file format must escape.
    const std::string awkward = std::string("quote\" back\\ nl\n cr\r tab\t nul") +
                                std::string(1, '\0') + "\x01\x7F end \xC3\xA9";
    ASSERT_EQ(RegistryFile::Update([&](RegistryTree& tree) {
                  RETURN_IF_FAILED(tree.CreateKey("CLSID\\{A}\\InprocServer32"));
                  RETURN_IF_FAILED(tree.CreateKey("Empty"));
                  RETURN_IF_FAILED(tree.SetValue("CLSID\\{A}\\InprocServer32", "", "/lib/x.so"));
                  RETURN_IF_FAILED(tree.SetValue("CLSID\\{A}", awkward, awkward));
                  return S_OK;
              }),
              S_OK);
    EXPECT_FALSE(std::filesystem::exists(store_ + ".new"));

    RegistryTree tree;
    ASSERT_EQ(RegistryFile::Read(tree), S_OK);
    EXPECT_EQ(Value(tree, "clsid\\{a}\\inprocserver32", ""), "/lib/x.so");
    EXPECT_EQ(Value(tree, "CLSID\\{A}", awkward), awkward);
    RegistryKeyInfo info;
    ASSERT_EQ(tree.QueryKey("Empty", info), S_OK);
    EXPECT_TRUE(info.exists);
    EXPECT_EQ(tree.Serialise(), ReadFile(store_));
}

TEST_F(RegistryStoreTest, NoFileIsAnEmptyRegistry) {
    RegistryTree tree;
    ASSERT_EQ(RegistryFile::Read(tree), S_OK);
    RegistryKeyInfo info;
    ASSERT_EQ(tree.QueryKey("", info), S_OK);
    EXPECT_EQ(info.subkeys, 0u);
}

TEST_F(RegistryStoreTest, AFileThatDoesNotParseIsNeverOverwritten) {
    const std::string corrupt = "vorn-registry 1\nkey \"CLSID\"\nvalue \"unterminated\n";
    {
        std::ofstream file(store_, std::ios::binary);
        file << corrupt;
    }
    RegistryTree tree;
    EXPECT_EQ(RegistryFile::Read(tree), REGDB_E_READREGDB);
    bool changed = false;
    EXPECT_EQ(RegistryFile::Update([&](RegistryTree&) {
                  changed = true;
                  return S_OK;
              }),
              REGDB_E_READREGDB);
    EXPECT_FALSE(changed);
    EXPECT_EQ(ReadFile(store_), corrupt);

    const char* malformed[] = {
        "",                                           // no header
        "vorn-registry 2\n",                          // unknown version
        "vorn-registry 1\nvalue \"a\" \"b\"\n",       // value before any key
        "vorn-registry 1\nkey \"a\\\\b\"\n",          // '\' inside a key name
        "vorn-registry 1\nkey \"a\" \"\"\n",          // empty key name
        "vorn-registry 1\nkey \"a\"\nvalue \"x\"\n",  // value without data
        "vorn-registry 1\nkey \"a\\q\"\n",            // unknown escape
        "vorn-registry 1\nkey \"a\"",                 // last line unterminated
    };
    std::string deep = "vorn-registry 1\nkey";  // deeper than any registry key can be
    for (int i = 0; i <= 512; ++i) deep += " \"k\"";
    deep += "\n";
    for (const char* text : malformed) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(RegistryTree::Parse(text).has_value());
    }
    EXPECT_FALSE(RegistryTree::Parse(deep).has_value());
}

TEST_F(RegistryStoreTest, AFailedChangeLeavesTheFileAlone) {
    ASSERT_EQ(RegistryFile::Update([](RegistryTree& tree) { return tree.CreateKey("Kept"); }),
              S_OK);
    const std::string before = ReadFile(store_);
    EXPECT_EQ(RegistryFile::Update([](RegistryTree& tree) {
                  tree.CreateKey("Dropped");
                  return E_FAIL;
              }),
              E_FAIL);
    EXPECT_EQ(ReadFile(store_), before);
}

TEST_F(RegistryStoreTest, ConcurrentWritersLoseNoChange) {
    constexpr int kThreads = 4;
    constexpr int kKeysEach = 25;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int k = 0; k < kKeysEach; ++k) {
                const std::string key = "K" + std::to_string(t) + "_" + std::to_string(k);
                RegistryFile::Update([&](RegistryTree& tree) { return tree.CreateKey(key); });
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    RegistryTree tree;
    ASSERT_EQ(RegistryFile::Read(tree), S_OK);
    RegistryKeyInfo root;
    ASSERT_EQ(tree.QueryKey("", root), S_OK);
    EXPECT_EQ(root.subkeys, static_cast<std::size_t>(kThreads * kKeysEach));
}

TEST(RegistryStoreLocation, ComesFromTheEnvironment) {
    struct Case {
        const char* file;
        const char* dataHome;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/tmp/r", "/data", "/home/u", "/tmp/r"},
        {nullptr, "/data", "/home/u", "/data/vorn/registry"},
        {nullptr, "relative", "/home/u", "/home/u/.local/share/vorn/registry"},
        {nullptr, nullptr, "/home/u", "/home/u/.local/share/vorn/registry"},
        {nullptr, nullptr, nullptr, ""},
    };
    const char* names[] = {"VORN_REGISTRY_FILE", "XDG_DATA_HOME", "HOME"};
    std::optional<std::string> saved[3];
    for (int i = 0; i < 3; ++i) {
        if (const char* value = std::getenv(names[i])) saved[i] = value;
    }
    for (const Case& c : cases) {
        const char* values[] = {c.file, c.dataHome, c.home};
        for (int i = 0; i < 3; ++i) {
            if (values[i] != nullptr) {
                ::setenv(names[i], values[i], 1);
            } else {
                ::unsetenv(names[i]);
            }
        }
        EXPECT_EQ(RegistryFile::Location(), c.expected);
    }
    for (int i = 0; i < 3; ++i) {
        if (saved[i]) {
            ::setenv(names[i], saved[i]->c_str(), 1);
        } else {
            ::unsetenv(names[i]);
        }
    }
}

}  // namespace
