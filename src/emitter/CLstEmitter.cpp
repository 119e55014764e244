#include "emitter/CLstEmitter.h"

#include <algorithm>

#include "core/CSectionTable.h"
#include "core/CSymbolTable.h"
#include "util/NumberFormat.h"

namespace {
// A map entry as an offset inside the code.
std::size_t clampedOffset(std::int32_t entry, std::size_t codeSize)
{
    return entry < 0 ? 0 : std::min(static_cast<std::size_t>(entry), codeSize);
}
}  // namespace

void CLstEmitter::run(const CSymbolTable& symbols, const CSectionTable& sections)
{
    m_text += "SYMBOL TABLE:\n";
    for (const auto& symbol : symbols.symbols()) {
        m_text += symbol->dumpLine();
        m_text += '\n';
    }
    m_text += "\n\n\nSECTIONS:\n";
    for (const auto& section : sections.sections()) {
        if (section->isEmitted()) {
            appendSectionLines(*section, m_text);
            m_text += "\n\n\n";
        }
    }
}

void CLstEmitter::appendSectionLines(const CSection& section, std::string& out)
{
    const std::vector<std::int32_t>& map = section.cycleToAddrMap;
    const std::size_t codeSize = section.m_code.size();
    for (std::size_t k = 0; k < section.m_lstLines.size(); ++k) {
        const std::size_t begin = k < map.size() ? clampedOffset(map[k], codeSize) : codeSize;
        const std::size_t end = k + 1 < map.size() ? std::max(begin, clampedOffset(map[k + 1], codeSize)) : codeSize;
        out += section.m_lstLines[k];
        out += " /* ";
        NumberFormat::AppendHex(out, begin);
        out += " | ";
        appendBytesHex(out, section.m_code, begin, end);
        out += " */ \n\n";
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
