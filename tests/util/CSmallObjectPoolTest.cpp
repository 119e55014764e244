#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "lexer/CToken.h"
#include "parser/COperand.h"
#include "util/CSmallObjectPool.h"
#include "support/TestSupport.h"

namespace {

using testsupport::blockIntact;
using testsupport::fillBlock;
using Block = testsupport::FilledBlock;

// Pooled, boundary and pass-through sizes.
const std::size_t kSizes[] = {1, 8, 16, 17, 48, 64, 112, 127, 128, 129, 4096};

TEST(CSmallObjectPool, BlocksAreAlignedDisjointAndReusable)
{
    const std::size_t liveBefore = CSmallObjectPool::liveBlocks();
    std::vector<Block> blocks;
    unsigned char fill = 1;
    for (int round = 0; round < 200; ++round) {
        for (std::size_t size : kSizes) {
            blocks.push_back(fillBlock(CSmallObjectPool::allocate(size), size, fill++));
        }
    }
    // Free every other block, then allocate again into the freed places.
    std::vector<Block> kept;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i % 2 == 0) {
            CSmallObjectPool::deallocate(blocks[i].data, blocks[i].size);
        } else {
            kept.push_back(blocks[i]);
        }
    }
    for (std::size_t i = 0; i < blocks.size() / 2; ++i) {
        const std::size_t size = kSizes[i % std::size(kSizes)];
        kept.push_back(fillBlock(CSmallObjectPool::allocate(size), size, fill++));
    }
    for (const Block& block : kept) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data) % alignof(std::max_align_t), 0u) << block.size;
        EXPECT_TRUE(blockIntact(block)) << block.size;
    }
    for (const Block& block : kept) {
        CSmallObjectPool::deallocate(block.data, block.size);
    }
    EXPECT_EQ(CSmallObjectPool::liveBlocks(), liveBefore);
}

TEST(CSmallObjectPool, DerivedRecordsReturnTheirOwnSize)
{
    const std::size_t liveBefore = CSmallObjectPool::liveBlocks();
    {
        std::vector<std::unique_ptr<COperand>> operands;
        for (int i = 0; i < 1000; ++i) {
            if (i % 2 == 0) {
                operands.push_back(std::make_unique<CRegOperand>("r" + std::to_string(i % 8)));
            } else {
                auto tree = std::make_unique<CExpr>(TOK_IDENTIFIER, 0.0, "label_" + std::to_string(i));
                operands.push_back(std::make_unique<CSymExpOperand>(std::move(tree)));
            }
        }
        for (std::size_t i = 0; i < operands.size(); ++i) {
            EXPECT_EQ(operands[i]->m_kind, i % 2 == 0 ? COperand::Register : COperand::SymExp);
        }
    }
    EXPECT_EQ(CSmallObjectPool::liveBlocks(), liveBefore);
}

// Allocations spanning many chunks stay intact until given back.
TEST(CSmallObjectPool, BlocksAcrossManyChunksStayIntact)
{
    const std::size_t liveBefore = CSmallObjectPool::liveBlocks();
    constexpr std::size_t kMiB = 1024 * 1024;
    std::vector<Block> blocks;
    unsigned char fill = 1;
    for (std::size_t total = 0; total < 8 * kMiB; total += 96) {
        blocks.push_back(fillBlock(CSmallObjectPool::allocate(96), 96, fill++));
    }
    for (const Block& block : blocks) {
        ASSERT_TRUE(blockIntact(block));
        CSmallObjectPool::deallocate(block.data, block.size);
    }
    EXPECT_EQ(CSmallObjectPool::liveBlocks(), liveBefore);
}

}  // namespace
