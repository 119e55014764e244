#include "emitter/CVornStringEmitter.h"

#include <string_view>

#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbol.h"
#include "util/NumberFormat.h"

namespace {
constexpr std::string_view kRomHeader = "architecture Behavioral of instr_rom is\nbegin\n    oQ <= ";
constexpr std::string_view kRomDefault = "\"000000000000000\";\nend Behavioral;\n";
constexpr std::string_view kRomWhen = "\"  when iA = ";
constexpr std::string_view kRomElse = " else\n          ";
constexpr std::string_view kDataLead = "sMEM(";
constexpr std::string_view kDataMiddle = ") <= x\"";
constexpr std::string_view kDataEnd = "\";\n";
// Typical text sizes of one ROM word and one data word, to size the buffers once.
constexpr std::size_t kRomWordText = 52;
constexpr std::size_t kDataWordText = 28;

// Byte i of the code, or 0 past its end.
std::uint8_t byteAt(const std::vector<std::uint8_t>& code, std::size_t i)
{
    return i < code.size() ? code[i] : 0;
}

// Reserves room for the texts of all sections up front, so that large
// programs do not pay for repeated growth of the buffers.
void reserveTexts(const std::vector<std::unique_ptr<CSection>>& sections, CFileBuffer& rom, CFileBuffer& data)
{
    std::size_t romSize = rom.m_data.size();
    std::size_t dataSize = data.m_data.size();
    for (const auto& section : sections) {
        if (!section->isEmitted()) {
            continue;
        }
        const std::size_t words = (section->m_code.size() + 1) / 2;
        if (section->m_kind == CSection::Data) {
            dataSize += words * kDataWordText;
        } else {
            romSize += kRomHeader.size() + kRomDefault.size() + words * kRomWordText;
        }
    }
    rom.m_data.reserve(romSize);
    data.m_data.reserve(dataSize);
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

CVornStringEmitter::CVornStringEmitter() = default;
CVornStringEmitter::~CVornStringEmitter() = default;

void CVornStringEmitter::run()
{
    if (m_codeBuffer == nullptr) {
        return;
    }
    m_dataBuffer = std::make_unique<CFileBuffer>();
    if (m_common == nullptr || m_common->m_sections == nullptr) {
        return;
    }
    const auto& sections = m_common->m_sections->sections();
    reserveTexts(sections, *m_codeBuffer, *m_dataBuffer);
    for (const auto& section : sections) {
        if (!section->isEmitted()) {
            continue;
        }
        const std::vector<std::uint8_t> code = patchedCode(*section);
        if (section->m_kind == CSection::Data) {
            appendDataText(code, *m_dataBuffer);
        } else {
            appendRomText(code, *m_codeBuffer);
        }
    }
}

void CVornStringEmitter::writeFiles(const std::string& name)
{
    writeBuffer(m_codeBuffer, name + ".txt");
    writeBuffer(m_dataBuffer.get(), name + ".dat");
}

std::vector<std::uint8_t> CVornStringEmitter::patchedCode(const CSection& section)
{
    std::vector<std::uint8_t> code = section.m_code;
    for (const CFixup& fixup : section.m_fixups) {
        applyFixup(fixup, code);
    }
    return code;
}

void CVornStringEmitter::appendRomText(const std::vector<std::uint8_t>& code, CFileBuffer& out)
{
    out.append(kRomHeader);
    // Each word's line is built in a reused text and appended whole.
    std::string line;
    for (std::size_t k = 0; 2 * k < code.size(); ++k) {
        line.clear();
        line += '"';
        NumberFormat::AppendBin(line, byteAt(code, 2 * k), 8);
        NumberFormat::AppendBin(line, byteAt(code, 2 * k + 1), 7);
        line += kRomWhen;
        NumberFormat::AppendDecimal(line, static_cast<std::int64_t>(k));
        line += kRomElse;
        out.append(line);
    }
    out.append(kRomDefault);
}

void CVornStringEmitter::appendDataText(const std::vector<std::uint8_t>& code, CFileBuffer& out)
{
    std::string line;
    for (std::size_t k = 0; 2 * k < code.size(); ++k) {
        line.clear();
        line += kDataLead;
        NumberFormat::AppendDecimal(line, static_cast<std::int64_t>(k));
        line += kDataMiddle;
        NumberFormat::AppendHexDigits(line, byteAt(code, 2 * k), 2);
        NumberFormat::AppendHexDigits(line, byteAt(code, 2 * k + 1), 2);
        line += kDataEnd;
        out.append(line);
    }
}
