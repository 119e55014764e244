#include "emitter/CVornStringEmitter.h"

#include <string_view>

#include "core/CSectionTable.h"
#include "core/CSymbol.h"
#include "util/NumberFormat.h"

namespace {
constexpr std::string_view kRomHeader = "architecture Behavioral of instr_rom is\nbegin\n    oQ <= ";
constexpr std::string_view kRomDefault = "\"000000000000000\";\nend Behavioral;\n";
constexpr std::string_view kRomWhen = "\"  when iA = ";
constexpr std::string_view kRomElse = " else\n          ";
constexpr std::string_view kDataLead = "sMEM(";
constexpr std::string_view kDataMiddle = ") <= x\"";
constexpr std::string_view kDataEnd = "\";\n";
// The text of one ROM word and of one data word, to size the texts once.
constexpr std::size_t kRomWordText = 52;
constexpr std::size_t kDataWordText = 28;

// Byte i of the code, or 0 past its end.
std::uint8_t byteAt(const std::vector<std::uint8_t>& code, std::size_t i)
{
    return i < code.size() ? code[i] : 0;
}

void applyFixup(const CFixup& fixup, std::vector<std::uint8_t>& code)
{
    if (fixup.m_kind != 0 || fixup.m_symbol == nullptr || fixup.m_offset < 0) {
        return;
    }
    const std::uint32_t target = fixup.m_symbol->m_value + static_cast<std::uint32_t>(fixup.m_addend);
    const std::uint32_t word = target >> 1;
    const auto offset = static_cast<std::size_t>(fixup.m_offset);
    if (offset < code.size()) {
        code[offset] = static_cast<std::uint8_t>((code[offset] & 0xFC) | ((word >> 7) & 3U));
    }
    if (offset + 1 < code.size()) {
        code[offset + 1] = static_cast<std::uint8_t>(word & 127U);
    }
}
}  // namespace

void CVornStringEmitter::run(const CSectionTable& sections)
{
    // Sized once: growing a text step by step touches new memory at each step.
    std::size_t romSize = 0;
    std::size_t dataSize = 0;
    for (const auto& section : sections.sections()) {
        const std::size_t words = (section->m_code.size() + 1) / 2;
        if (section->m_kind == CSection::Data) {
            dataSize += words * kDataWordText;
        } else if (section->isEmitted()) {
            romSize += kRomHeader.size() + kRomDefault.size() + words * kRomWordText;
        }
    }
    m_codeText.reserve(romSize);
    m_dataText.reserve(dataSize);
    for (const auto& section : sections.sections()) {
        if (!section->isEmitted()) {
            continue;
        }
        const std::vector<std::uint8_t> code = patchedCode(*section);
        if (section->m_kind == CSection::Data) {
            appendDataText(code, m_dataText);
        } else {
            appendRomText(code, m_codeText);
        }
    }
}

std::vector<std::uint8_t> CVornStringEmitter::patchedCode(const CSection& section)
{
    std::vector<std::uint8_t> code = section.m_code;
    for (const CFixup& fixup : section.m_fixups) {
        applyFixup(fixup, code);
    }
    return code;
}

void CVornStringEmitter::appendRomText(const std::vector<std::uint8_t>& code, std::string& out)
{
    out += kRomHeader;
    for (std::size_t k = 0; 2 * k < code.size(); ++k) {
        out += '"';
        NumberFormat::AppendBin(out, byteAt(code, 2 * k), 8);
        NumberFormat::AppendBin(out, byteAt(code, 2 * k + 1), 7);
        out += kRomWhen;
        NumberFormat::AppendDecimal(out, static_cast<std::int64_t>(k));
        out += kRomElse;
    }
    out += kRomDefault;
}

void CVornStringEmitter::appendDataText(const std::vector<std::uint8_t>& code, std::string& out)
{
    for (std::size_t k = 0; 2 * k < code.size(); ++k) {
        out += kDataLead;
        NumberFormat::AppendDecimal(out, static_cast<std::int64_t>(k));
        out += kDataMiddle;
        NumberFormat::AppendHexDigits(out, byteAt(code, 2 * k), 2);
        NumberFormat::AppendHexDigits(out, byteAt(code, 2 * k + 1), 2);
        out += kDataEnd;
    }
}
