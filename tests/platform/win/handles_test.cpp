#include "platform/win/handles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HandleTable, HandsOutDistinctNonZeroValuesAndRefusesOthers) {
    win::HandleTable<std::string> table(win::HandleKind::Test);
    uint32_t a = table.add(std::make_unique<std::string>("a"));
    uint32_t b = table.add(std::make_unique<std::string>("b"));
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(*table.get(a), "a");
    EXPECT_EQ(table.get(0), nullptr);
    EXPECT_EQ(table.get(a ^ 0x40000000u), nullptr);
    EXPECT_EQ(win::HandleTable<std::string>::kindOf(a), win::HandleKind::Test);
}

TEST(HandleTable, RemovedHandleIsStaleAndNotReused) {
    win::HandleTable<int> table(win::HandleKind::Test);
    uint32_t a = table.add(std::make_unique<int>(1));
    EXPECT_TRUE(table.remove(a));
    EXPECT_FALSE(table.remove(a));
    EXPECT_EQ(table.get(a), nullptr);
    uint32_t b = table.add(std::make_unique<int>(2));
    EXPECT_NE(a, b);
    EXPECT_EQ(table.size(), 1u);
    auto taken = table.take(b);
    ASSERT_TRUE(taken);
    EXPECT_EQ(*taken, 2);
    EXPECT_EQ(table.size(), 0u);
}

} // namespace
