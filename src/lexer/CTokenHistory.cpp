#include "lexer/CTokenHistory.h"

#include <algorithm>
#include <iterator>

CToken& CTokenHistory::append()
{
    const std::size_t block = m_end / kBlockTokens - m_firstBlock;
    if (block == m_blocks.size()) {
        if (m_spareBlocks.empty()) {
            m_blocks.push_back(std::make_unique<CToken[]>(kBlockTokens));
        } else {
            m_blocks.push_back(std::move(m_spareBlocks.back()));
            m_spareBlocks.pop_back();
        }
    }
    CToken& token = m_blocks[block][m_end % kBlockTokens];
    token.m_id = TOK_NONE;
    token.m_text.clear();
    token.m_value = 0;
    ++m_end;
    return token;
}

void CTokenHistory::releaseBefore(std::size_t index)
{
    index = std::min(index, m_end);
    if (index <= m_begin) {
        return;
    }
    m_begin = index;
    // Blocks wholly before the new beginning go to the spares.
    const std::size_t unused = std::min(index / kBlockTokens - m_firstBlock, m_blocks.size());
    const auto first = m_blocks.begin();
    const auto last = first + static_cast<std::ptrdiff_t>(unused);
    std::move(first, last, std::back_inserter(m_spareBlocks));
    m_blocks.erase(first, last);
    m_firstBlock += unused;
}
