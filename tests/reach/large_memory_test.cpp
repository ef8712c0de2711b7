// Large blocks: reuse within a scope, zeroed blocks whatever was there
// before, pages provided ahead without touching what blocks hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "reach/large_memory.h"

namespace {

constexpr std::size_t kMB = std::size_t(1) << 20;

bool allZero(const void* p, std::size_t bytes)
{
    const auto* b = static_cast<const unsigned char*>(p);
    return std::all_of(b, b + bytes, [](unsigned char c) { return c == 0; });
}

} // namespace

#ifdef __linux__

TEST(LargeMemory, BlocksGivenBackInAScopeAreKeptAndComeBackZeroed)
{
    const TLargeMemoryUse before = LargeMemoryUse();
    {
        TLargeMemoryScope keep;
        void* block = AllocateBlock(6 * kMB);
        EXPECT_EQ(LargeMemoryUse().InUse, before.InUse + 6 * kMB);
        std::memset(block, 0xAB, 6 * kMB);
        FreeBlock(block, 6 * kMB);
        EXPECT_EQ(LargeMemoryUse().InUse, before.InUse);
        EXPECT_GE(LargeMemoryUse().Held, before.Held + 6 * kMB); // kept for the next block

        // The same pages again: a zeroed block reads zero, room may be
        // handed out as it is. Sizes not a whole number of pages too.
        void* again = AllocateBlock(5 * kMB + 123);
        EXPECT_EQ(again, block);
        EXPECT_TRUE(allZero(again, 5 * kMB + 123));
        std::memset(again, 0xCD, 5 * kMB + 123);
        FreeBlock(again, 5 * kMB + 123);
        void* room = AllocateRoom(4 * kMB);
        std::memset(room, 1, 4 * kMB);
        FreeBlock(room, 4 * kMB);
    }
    // The last scope gives everything back.
    EXPECT_EQ(LargeMemoryUse().InUse, before.InUse);
    EXPECT_EQ(LargeMemoryUse().Held, 0u);
    void* fresh = AllocateBlock(6 * kMB);
    EXPECT_TRUE(allZero(fresh, 6 * kMB));
    FreeBlock(fresh, 6 * kMB);
}

TEST(LargeMemory, OutsideAScopeBlocksGoBackAtOnceAndSmallOnesComeFromTheHeap)
{
    void* a = AllocateBlock(4 * kMB);
    void* b = AllocateBlock(2 * kMB);
    std::memset(a, 7, 4 * kMB);
    std::memset(b, 7, 2 * kMB);
    FreeBlock(a, 4 * kMB);
    EXPECT_EQ(LargeMemoryUse().Held, 0u);
    // b stays where it was and keeps its values; a's room reads zero again.
    void* c = AllocateBlock(4 * kMB);
    EXPECT_TRUE(allZero(c, 4 * kMB));
    EXPECT_EQ(static_cast<unsigned char*>(b)[2 * kMB - 1], 7);
    FreeBlock(c, 4 * kMB);
    FreeBlock(b, 2 * kMB);

    const std::size_t inUse = LargeMemoryUse().InUse;
    void* small = AllocateBlock(1000);
    EXPECT_TRUE(allZero(small, 1000));
    EXPECT_EQ(LargeMemoryUse().InUse, inUse);
    FreeBlock(small, 1000);
    FreeBlock(nullptr, 8 * kMB);
}

TEST(LargeMemory, PagesProvidedAheadKeepWhatBlocksHold)
{
    TLargeMemoryScope keep;
    if (LargeMemoryUse().InUse == 0) {
        // A build too small for large blocks has nothing provided for it.
        TWarmAhead warm(1.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(LargeMemoryUse().Held, 0u);
    }
    auto* first = static_cast<unsigned char*>(AllocateBlock(8 * kMB));
    std::memset(first, 0x5A, 8 * kMB);
    {
        TWarmAhead warm(1.0);
        // At least 16 MB are provided ahead; wait for them (a few seconds at most).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (LargeMemoryUse().Held < 16 * kMB && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_GE(LargeMemoryUse().Held, 16 * kMB);
        // Blocks taken while pages are provided keep what is written into them.
        for (int i = 0; i < 8; ++i) {
            auto* block = static_cast<unsigned char*>(AllocateBlock(8 * kMB));
            EXPECT_TRUE(allZero(block, 8 * kMB));
            std::memset(block, i + 1, 8 * kMB);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            EXPECT_EQ(block[0], i + 1);
            EXPECT_EQ(block[8 * kMB - 1], i + 1);
            FreeBlock(block, 8 * kMB);
        }
    }
    EXPECT_EQ(first[0], 0x5A);
    EXPECT_EQ(first[8 * kMB - 1], 0x5A);
    // What was provided and not used stays for the next blocks while the scope lives.
    EXPECT_GT(LargeMemoryUse().Held, 0u);
    FreeBlock(first, 8 * kMB);
}

#endif

TEST(LargeMemory, VectorsOfLargeAllocatorKeepTheirValuesAsTheyGrow)
{
    const std::size_t inUse = LargeMemoryUse().InUse;
    TLargeVector<int> small(100, 3);
    EXPECT_EQ(LargeMemoryUse().InUse, inUse);
    TLargeVector<int> v;
    for (int i = 0; i < 3000000; ++i)
        v.push_back(i);
#ifdef __linux__
    EXPECT_GE(LargeMemoryUse().InUse, inUse + v.size() * sizeof(int));
#endif
    bool kept = true;
    for (int i = 0; i < 3000000; ++i)
        kept = kept && v[static_cast<std::size_t>(i)] == i;
    EXPECT_TRUE(kept);
    TLargeVector<int> w = v;
    v.clear();
    v.shrink_to_fit();
    EXPECT_EQ(w[2999999], 2999999);
    w.swap(small);
    EXPECT_EQ(w.size(), 100u);
    EXPECT_EQ(small.size(), 3000000u);
    small = TLargeVector<int>();
    w = TLargeVector<int>();
    EXPECT_EQ(LargeMemoryUse().InUse, inUse);
}
