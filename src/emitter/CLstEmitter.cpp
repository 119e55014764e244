#include "emitter/CLstEmitter.h"

#include <algorithm>

#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbolTable.h"
#include "util/NumberFormat.h"

namespace {
// Typical text sizes besides the listing texts, to size the buffer once.
constexpr std::size_t kSymbolLineText = 80;
constexpr std::size_t kCycleCommentText = 32;

// A map entry as an offset inside the code.
std::size_t clampedOffset(std::int32_t entry, std::size_t codeSize)
{
    return entry < 0 ? 0 : std::min(static_cast<std::size_t>(entry), codeSize);
}

std::size_t estimatedListingSize(const CCommonModules& common)
{
    std::size_t size = 0;
    if (common.m_symbols != nullptr) {
        size += common.m_symbols->symbols().size() * kSymbolLineText;
    }
    if (common.m_sections != nullptr) {
        for (const auto& section : common.m_sections->sections()) {
            for (const auto& text : section->m_lstLines) {
                size += text.size() + kCycleCommentText;
            }
        }
    }
    return size;
}
}  // namespace

CLstEmitter::CLstEmitter() = default;
CLstEmitter::~CLstEmitter() = default;

void CLstEmitter::run()
{
    if (m_codeBuffer == nullptr) {
        m_ownBuffer = std::make_unique<CFileBuffer>();
        m_codeBuffer = m_ownBuffer.get();
    }
    CFileBuffer& out = *m_codeBuffer;
    if (m_common != nullptr) {
        out.m_data.reserve(out.m_data.size() + estimatedListingSize(*m_common));
    }
    appendSymbolTable(out);
    out.append("\n\n\nSECTIONS:\n");
    if (m_common == nullptr || m_common->m_sections == nullptr) {
        return;
    }
    for (const auto& section : m_common->m_sections->sections()) {
        if (section->isEmitted()) {
            appendSectionLines(*section, out);
            out.append("\n\n\n");
        }
    }
}

void CLstEmitter::appendSymbolTable(CFileBuffer& out) const
{
    out.append("SYMBOL TABLE:\n");
    if (m_common == nullptr || m_common->m_symbols == nullptr) {
        return;
    }
    for (const auto& symbol : m_common->m_symbols->symbols()) {
        out.append(symbol->dumpLine());
        out.append("\n");
    }
}

void CLstEmitter::appendSectionLines(const CSection& section, CFileBuffer& out)
{
    const std::vector<std::int32_t>& map = section.cycleToAddrMap;
    const std::size_t codeSize = section.m_code.size();
    // Each line's comment is built in one reused text and appended whole.
    std::string comment;
    for (std::size_t k = 0; k < section.m_lstLines.size(); ++k) {
        const std::size_t begin = k < map.size() ? clampedOffset(map[k], codeSize) : codeSize;
        const std::size_t end = k + 1 < map.size() ? std::max(begin, clampedOffset(map[k + 1], codeSize)) : codeSize;
        comment.clear();
        comment += " /* ";
        NumberFormat::AppendHex(comment, begin);
        comment += " | ";
        appendBytesHex(comment, section.m_code, begin, end);
        comment += " */ \n\n";
        out.append(section.m_lstLines[k]);
        out.append(comment);
    }
}

void CLstEmitter::appendBytesHex(std::string& text, const std::vector<std::uint8_t>& code, std::size_t begin,
                                 std::size_t end)
{
    end = std::min(end, code.size());
    while (begin < end && code[begin] == 0) {
        ++begin;
    }
    if (begin >= end) {
        text += "0x0";
        return;
    }
    // The first byte is not zero, so it has no leading zero digit.
    NumberFormat::AppendHex(text, code[begin]);
    for (std::size_t i = begin + 1; i < end; ++i) {
        NumberFormat::AppendHexDigits(text, code[i], 2);
    }
}
