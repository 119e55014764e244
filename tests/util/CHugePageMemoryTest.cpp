#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include "util/CHugePageMemory.h"

namespace {

constexpr std::size_t kHuge = CHugePageMemory::kHugePageBytes;

// Small blocks come from the heap; blocks from half a huge page on are
// huge-page aligned. Every block is writable over its whole size.
TEST(CHugePageMemory, BlocksOfEverySizeAreUsable)
{
    const std::size_t sizes[] = {0, 1, 4096, CHugePageMemory::kMinHugeBlock - 1, CHugePageMemory::kMinHugeBlock,
                                 kHuge, kHuge + 1, 3 * kHuge - 5};
    for (std::size_t size : sizes) {
        void* block = CHugePageMemory::allocate(size);
        ASSERT_NE(block, nullptr) << size;
        if (size >= CHugePageMemory::kMinHugeBlock) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % kHuge, 0u) << size;
        }
        std::memset(block, 0xA5, size);
        CHugePageMemory::release(block);
    }
    CHugePageMemory::release(nullptr);
}

TEST(CHugePageMemory, ImpossibleCountThrows)
{
    CHugePageAllocator<std::uint64_t> allocator;
    EXPECT_THROW(allocator.allocate(static_cast<std::size_t>(-1) / 4), std::bad_array_new_length);
}

// A vector that grows from a few bytes to several huge pages keeps its content.
TEST(CHugePageMemory, VectorGrowsAcrossTheThreshold)
{
    std::vector<std::uint32_t, CHugePageAllocator<std::uint32_t>> values;
    constexpr std::uint32_t kCount = 3 * kHuge / sizeof(std::uint32_t);
    for (std::uint32_t i = 0; i < kCount; ++i) {
        values.push_back(i * 2654435761U);
    }
    std::uint32_t mismatches = 0;
    for (std::uint32_t i = 0; i < kCount; ++i) {
        mismatches += values[i] != i * 2654435761U ? 1 : 0;
    }
    EXPECT_EQ(mismatches, 0u);
}

}  // namespace
