// Task memory, aligned blocks and page regions. Runs on every target.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"

// Even an empty request gets a block of its own, and every block is aligned
// for the records placed in it (format blocks hold 64-bit fields).
TEST(PlatformMemory, TaskMemoryBlocksAreDistinctAndAligned) {
    BYTE* empty = static_cast<BYTE*>(CoTaskMemAlloc(0));
    BYTE* block = static_cast<BYTE*>(CoTaskMemAlloc(16));
    ASSERT_NE(empty, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_NE(empty, block);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 8, 0u);
    std::memset(block, 0xAB, 16);
    CoTaskMemFree(empty);
    CoTaskMemFree(block);
    CoTaskMemFree(nullptr);
}

TEST(PlatformMemory, AlignedBlocksHonourTheAlignment) {
    for (size_t alignment : {1u, 16u, 64u, 4096u}) {
        void* block = _aligned_malloc(100, alignment);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignment, 0u);
        std::memset(block, 1, 100);
        _aligned_free(block);
    }
}

TEST(PlatformMemory, PageRegionsStartOnTheGranularityAndAreWritable) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    ASSERT_GT(info.dwAllocationGranularity, 0u);
    EXPECT_GT(info.dwPageSize, 0u);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    for (SIZE_T size : {SIZE_T(1), SIZE_T(100000), SIZE_T(3 * 1024 * 1024 + 5)}) {
        BYTE* region = static_cast<BYTE*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        ASSERT_NE(region, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(region) % info.dwAllocationGranularity, 0u);
        EXPECT_EQ(region[0], 0);  // fresh pages are zero
        std::memset(region, 0x5A, size);
        EXPECT_TRUE(VirtualFree(region, 0, MEM_RELEASE));
    }
}

TEST(PlatformMemory, ReleasingAnythingButARegionBaseFails) {
    BYTE* region = static_cast<BYTE*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(region, nullptr);
    EXPECT_FALSE(VirtualFree(region + 4096, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(region, 8192, MEM_RELEASE));  // a release takes size 0
    EXPECT_TRUE(VirtualFree(region, 0, MEM_RELEASE));
}
