// The interface tables as the compiler lays them out: every method of each layer interface is
// in the shared table, in slot order, from the first slot after the base interface to the last.
#include <gtest/gtest.h>

#include <set>

#include "interface_tables.h"

namespace {

using interface_tables::LayerInterfaceTables;

constexpr std::ptrdiff_t kSlot = static_cast<std::ptrdiff_t>(sizeof(void*));

TEST(InterfaceVtableTest, MethodsFillTheTableFromTheBaseToTheEnd) {
    for (const auto& table : LayerInterfaceTables()) {
        SCOPED_TRACE(table.name);
        const std::ptrdiff_t expectedFirstSlot = table.baseName == "IUnknown" ? 3 : 9;
        EXPECT_EQ(table.baseVtableSize, expectedFirstSlot * kSlot);
        std::set<std::string> names;
        for (std::size_t i = 0; i < table.methods.size(); ++i) {
            const auto& method = table.methods[i];
            SCOPED_TRACE(method.name);
            EXPECT_TRUE(names.insert(method.name).second) << "listed twice";
            EXPECT_EQ(method.vtableOffset,
                      table.baseVtableSize + static_cast<std::ptrdiff_t>(i) * kSlot);
        }
        // Nothing declared after the last listed method.
        EXPECT_EQ(table.vtableSize,
                  table.baseVtableSize + static_cast<std::ptrdiff_t>(table.methods.size()) * kSlot);
    }
}

}  // namespace
