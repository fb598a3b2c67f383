#include "platform/win/global_memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace win;

TEST(GlobalMemory, BlockIsZeroedExactSizeAndLocksAtAStableAddress) {
    for (uint32_t flags : {GMEM_FIXED, GMEM_MOVEABLE, GHND, GPTR}) {
        HGLOBAL h = GlobalAlloc(flags, 37);
        ASSERT_NE(h, 0u);
        EXPECT_EQ(GlobalSize(h), 37u);
        auto* first = static_cast<unsigned char*>(GlobalLock(h));
        ASSERT_NE(first, nullptr);
        for (int i = 0; i < 37; ++i)
            EXPECT_EQ(first[i], 0) << i;
        first[36] = 0xAB;
        EXPECT_EQ(GlobalLock(h), first);
        EXPECT_EQ(GlobalLockCount(h), 2u);
        EXPECT_TRUE(GlobalUnlock(h));
        EXPECT_FALSE(GlobalUnlock(h));
        EXPECT_FALSE(GlobalUnlock(h));
        EXPECT_EQ(static_cast<unsigned char*>(GlobalLock(h))[36], 0xAB);
        GlobalUnlock(h);
        EXPECT_EQ(GlobalFree(h), 0u);
    }
}

TEST(GlobalMemory, PlainAddressesPassThroughAndStaleHandlesAreRefused) {
    void* buffer = std::malloc(16);
    auto value = reinterpret_cast<uintptr_t>(buffer);
    EXPECT_EQ(GlobalLock(value), buffer);
    EXPECT_FALSE(GlobalUnlock(value));
    EXPECT_EQ(GlobalSize(static_cast<HGLOBAL>(value)), 0u);
    std::free(buffer);
    EXPECT_EQ(GlobalLock(0), nullptr);

    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(GlobalFree(h), 0u);
    // A freed handle must not come back as if it were an address.
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalFree(h), h);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFree(0), 0u);
    EXPECT_EQ(GlobalReAlloc(h, 4, 0), 0u);
}

TEST(GlobalMemory, ReAllocKeepsContentZeroesGrowthAndNeverMovesALockedBlock) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_NE(h, 0u);
    std::memcpy(GlobalLock(h), "abcd", 4);
    GlobalUnlock(h);

    EXPECT_EQ(GlobalReAlloc(h, 2, GMEM_MOVEABLE), h);
    EXPECT_EQ(GlobalSize(h), 2u);
    EXPECT_EQ(GlobalReAlloc(h, 1000, GMEM_MOVEABLE), h);
    EXPECT_EQ(GlobalSize(h), 1000u);
    auto* data = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(std::memcmp(data, "ab\0\0", 4), 0);
    EXPECT_EQ(data[999], 0);

    // Locked: shrinking and regrowing within the block is fine, moving is not.
    EXPECT_EQ(GlobalReAlloc(h, 10, GMEM_MOVEABLE), h);
    EXPECT_EQ(data[5], 0);
    data[5] = 7;
    EXPECT_EQ(GlobalReAlloc(h, 1000, GMEM_MOVEABLE), h);
    EXPECT_EQ(data[5], 7);
    EXPECT_EQ(GlobalReAlloc(h, 1 << 20, GMEM_MOVEABLE), 0u);
    EXPECT_EQ(GlobalSize(h), 1000u);
    EXPECT_EQ(GlobalLock(h), data);
    GlobalUnlock(h);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalReAlloc(h, 1 << 20, GMEM_MOVEABLE), h);
    EXPECT_EQ(GlobalFree(h), 0u);
}

TEST(GlobalMemory, ZeroSizeBlockHasNoAddress) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(GlobalIsHandle(h));
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalFree(h), 0u);
    EXPECT_FALSE(GlobalIsHandle(h));
}

} // namespace
