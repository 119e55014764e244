#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "lexer/CToken.h"

// The lexer's token history: every token by its index among all tokens
// scanned, with the oldest ones released in bulk. Tokens sit in fixed blocks
// that never move, so appending leaves every kept token in place; released
// blocks are reused, and so is their tokens' text storage.
class CTokenHistory {
public:
    // The index of the oldest kept token, and one past the newest.
    std::size_t begin() const { return m_begin; }
    std::size_t end() const { return m_end; }
    bool empty() const { return m_begin == m_end; }

    // A kept token, begin() <= index < end().
    const CToken& at(std::size_t index) const
    {
        return m_blocks[index / kBlockTokens - m_firstBlock][index % kBlockTokens];
    }
    const CToken& back() const { return at(m_end - 1); }

    // A cleared token at index end(), which then moves up by one.
    CToken& append();
    // Releases the tokens before `index` (at most all of them).
    void releaseBefore(std::size_t index);

private:
    static constexpr std::size_t kBlockTokens = 256;
    using Block = std::unique_ptr<CToken[]>;

    // Blocks in use, oldest first; the first holds the block number m_firstBlock.
    std::vector<Block> m_blocks;
    std::vector<Block> m_spareBlocks;
    std::size_t m_firstBlock = 0;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};
