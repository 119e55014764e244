#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "util/CHugePageMemory.h"
#include "util/CMemoryReadier.h"
#include "util/SanitizedHeap.h"
#include "support/TestSupport.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kChunk = CMemoryReadier::kChunkBytes;

using testsupport::blockIntact;
using testsupport::fillBlock;
using Filled = testsupport::FilledBlock;

class MemoryReadier : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef ROZEDOV_SANITIZED_HEAP
        GTEST_SKIP() << "the checked heap serves every block in this build";
#endif
    }
    void TearDown() override { CMemoryReadier::stop(); }
};

// Blocks are cut in whole chunks, in order, without overlap, until the arena
// is used up; then no more come from it.
TEST_F(MemoryReadier, ArenaBlocksAreWholeChunksUntilTheArenaIsUsedUp)
{
    CMemoryReadier::start(8 * kMiB, 0);
    CMemoryReadier::stop();  // everything readied or not is now available
    struct Take {
        std::size_t bytes;
        bool expected;
    };
    const Take takes[] = {{kMiB, true}, {kChunk, true}, {kChunk + 1, true}, {1, false}};
    std::vector<Filled> blocks;
    unsigned char fill = 1;
    for (const Take& take : takes) {
        void* block = CMemoryReadier::takeArenaBlock(take.bytes);
        ASSERT_EQ(block != nullptr, take.expected) << take.bytes;
        if (block != nullptr) {
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(block) % kChunk, 0u);
            blocks.push_back(fillBlock(block, take.bytes, fill++));
        }
    }
    for (const Filled& block : blocks) {
        EXPECT_TRUE(blockIntact(block));
        EXPECT_TRUE(CMemoryReadier::releaseArenaBlock(block.data));
    }
    // With its last block back and no readying, the arena is gone.
    EXPECT_EQ(CMemoryReadier::takeArenaBlock(kMiB), nullptr);
}

TEST_F(MemoryReadier, BlocksFromElsewhereAreNotTheArenas)
{
    CMemoryReadier::start(4 * kMiB, 0);
    void* fresh = CHugePageMemory::allocateFresh(kChunk);
    int local = 0;
    EXPECT_FALSE(CMemoryReadier::releaseArenaBlock(fresh));
    EXPECT_FALSE(CMemoryReadier::releaseArenaBlock(&local));
    EXPECT_FALSE(CMemoryReadier::releaseArenaBlock(nullptr));
    CHugePageMemory::releaseFresh(fresh);
}

// Blocks taken while the thread still readies the arena, and a vector that
// outgrows the arena into fresh memory, keep their contents; a new start
// leaves an arena with blocks in use alone.
TEST_F(MemoryReadier, BlocksStayIntactWhileReadyingGoesOn)
{
    CMemoryReadier::start(64 * kMiB, 8 * kMiB);
    std::vector<Filled> blocks;
    unsigned char fill = 1;
    for (int attempt = 0; attempt < 2000000 && blocks.size() < 8; ++attempt) {
        if (void* block = CMemoryReadier::takeArenaBlock(kChunk)) {
            blocks.push_back(fillBlock(block, kChunk, fill++));
        }
    }
    std::vector<std::uint64_t, CHugePageAllocator<std::uint64_t>> values;
    for (std::uint64_t i = 0; i < 12 * kMiB / sizeof(std::uint64_t); ++i) {
        values.push_back(i * 0x9E3779B97F4A7C15ULL);
    }
    CMemoryReadier::start(16 * kMiB, 0);
    CMemoryReadier::stop();
    for (const Filled& block : blocks) {
        EXPECT_TRUE(blockIntact(block));
    }
    std::size_t mismatches = 0;
    for (std::uint64_t i = 0; i < values.size(); ++i) {
        mismatches += values[i] != i * 0x9E3779B97F4A7C15ULL ? 1 : 0;
    }
    EXPECT_EQ(mismatches, 0u);
    for (const Filled& block : blocks) {
        EXPECT_TRUE(CMemoryReadier::releaseArenaBlock(block.data));
    }
}

}  // namespace
