#include "asm/CRozeDov.h"

#include <algorithm>
#include <iostream>

#include "asm/CAsmOptions.h"
#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CLayoutWarnings.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbolTable.h"
#include "emitter/CImageEmitter.h"
#include "emitter/CLstEmitter.h"
#include "emitter/CVornOpcodeGenerator.h"
#include "emitter/CVornStringEmitter.h"
#include "lexer/CVornPlatformDesc.h"
#include "parser/CParseError.h"
#include "parser/CStatement.h"
#include "parser/CVornParser.h"
#include "asm/CDiagnosticMsgHandler.h"
#include "util/CSpelling.h"
#include "util/NumberFormat.h"

namespace {
constexpr int kWrongSymbolUsage = 1312;
constexpr int kUndefinedSymbol = 1315;
constexpr std::size_t kDefaultHostByteBits = 8;
}  // namespace

void CRozeDov::init(CAsm* driver)
{
    CAsm::init(driver);

    m_common->m_platformDesc = std::make_unique<CVornPlatformDesc>();
    m_common->m_platformDesc->init(this);

    m_common->m_opcodeGenerator = std::make_unique<CVornOpcodeGenerator>();
    m_common->m_opcodeGenerator->init(this);

    m_parser = std::make_unique<CVornParser>();
    m_parser->init(this);

    auto romEmitter = std::make_unique<CVornStringEmitter>();
    romEmitter->init(this);
    romEmitter->m_codeBuffer = m_outBuffer.get();
    m_romEmitter = std::move(romEmitter);

    m_lstEmitter = std::make_unique<CLstEmitter>();
    m_lstEmitter->init(this);

    auto imageEmitter = std::make_unique<CImageEmitter>();
    imageEmitter->init(this);
    imageEmitter->m_formats = m_common->m_options->m_formats;
    m_imageEmitter = std::move(imageEmitter);
}

int CRozeDov::fixupKind(const std::vector<CStatement*>& /*cycle*/, const CSection& /*section*/)
{
    return 0;
}

void CRozeDov::layout()
{
    for (const auto& section : m_common->m_sections->sections()) {
        layoutSection(*section);
    }
    assignSymbolValues();
    // Values that do not fit are worth a word only in a program without errors.
    if (m_common->m_diagnostics->reported().empty()) {
        CLayoutWarnings(*m_common).run();
    }
}

bool CRozeDov::hasWordsToLayOut(const CSection& section)
{
    const bool holdsWords = section.m_kind == CSection::Code || section.isData();
    return holdsWords && !section.m_statements.empty();
}

// Every data word is its own cycle, whatever the parser stored.
void CRozeDov::numberDataCycles(CSection& section)
{
    std::int32_t cycle = 0;
    for (const auto& statement : section.m_statements) {
        statement->m_cycle = cycle++;
    }
}

void CRozeDov::layoutSection(CSection& section)
{
    if (section.isData()) {
        numberDataCycles(section);
    }
    if (!hasWordsToLayOut(section)) {
        return;
    }
    std::int32_t lastCycle = 0;
    for (const auto& statement : section.m_statements) {
        lastCycle = std::max(lastCycle, statement->m_cycle);
    }
    section.cycleToAddrMap.resize(static_cast<std::size_t>(lastCycle) + 1, 0);
    section.m_code.clear();
    section.m_code.reserve(section.m_statements.size() * 2);

    std::vector<CStatement*> group;
    const auto& statements = section.m_statements;
    for (std::size_t i = 0; i < statements.size();) {
        const std::int32_t cycle = statements[i]->m_cycle;
        group.clear();
        for (; i < statements.size() && statements[i]->m_cycle == cycle; ++i) {
            group.push_back(statements[i].get());
        }
        layoutCycle(section, group, cycle);
    }
}

void CRozeDov::layoutCycle(CSection& section, const std::vector<CStatement*>& group, std::int32_t cycle)
{
    const std::string code = m_common->m_opcodeGenerator->generate(group);
    const std::size_t start = section.m_code.size();
    if (cycle >= 0) {
        section.cycleToAddrMap[static_cast<std::size_t>(cycle)] = static_cast<std::int32_t>(start);
    }
    recordFixups(section, group, static_cast<std::int32_t>(start));
    packHostBytes(code, section.m_code);
    if (m_common->m_options != nullptr && m_common->m_options->m_debugDump) {
        dumpHostBytes(section.m_code, start);
    }
}

void CRozeDov::recordFixups(CSection& section, const std::vector<CStatement*>& group, std::int32_t start)
{
    for (const CStatement* statement : group) {
        for (const auto& operand : statement->m_operands) {
            if (operand == nullptr || operand->m_kind != COperand::SymExp) {
                continue;
            }
            const CSymExpOperand* symExp = operand->asSymExp();
            if (symExp != nullptr && symExp->m_expr) {
                recordFixup(section, group, *statement, *symExp, start);
            }
        }
    }
}

void CRozeDov::recordFixup(CSection& section, const std::vector<CStatement*>& group, const CStatement& statement,
                           const CSymExpOperand& operand, std::int32_t start)
{
    CDiagnosticMsgHandler& diagnostics = *m_common->m_diagnostics;
    double value = 0.0;
    std::string name;
    try {
        operand.m_expr->evaluate(value, name);
    } catch (const CParseError&) {
        diagnostics.reportError(kWrongSymbolUsage, statement.m_line, statement.m_fileIndex, "",
                                diagnostics.detailAtWord(statement.m_offset, {}, CExpr::kOneLabelRule));
        return;
    }
    if (name.empty()) {
        return;
    }
    CSymbol* symbol = m_common->m_symbols->find(name);
    if (symbol == nullptr) {
        diagnostics.reportError(kUndefinedSymbol, statement.m_line, statement.m_fileIndex, name,
                                diagnostics.detailAtWord(statement.m_offset, name, undefinedSymbolText(name)));
        return;
    }
    symbol->m_referenced = true;
    CFixup fixup;
    fixup.m_symbol = symbol;
    fixup.m_offset = start;
    fixup.m_kind = fixupKind(group, section);
    fixup.m_addend = CExpr::toInt32(value);
    section.m_fixups.push_back(fixup);
}

std::string CRozeDov::undefinedSymbolText(const std::string& name) const
{
    std::string text = "undefined label '" + name + "'";
    // Suggestions compare with every label: only where there are not too many.
    constexpr std::size_t kMostCompared = 10000;
    const auto& symbols = m_common->m_symbols->symbols();
    if (symbols.size() <= kMostCompared) {
        std::vector<std::string> defined;
        for (const auto& symbol : symbols) {
            if (symbol->m_section != nullptr) {
                defined.push_back(symbol->m_name);
            }
        }
        if (const std::string suggestion = CSpelling::closest(name, defined); !suggestion.empty()) {
            text += "; did you mean '" + suggestion + "'?";
        }
    }
    return text;
}

// Host byte k holds the pattern's characters k*w .. k*w+w-1 ("1" a set bit,
// anything else clear); the last byte may hold fewer and is right-aligned.
void CRozeDov::packHostBytes(const std::string& code, std::vector<std::uint8_t>& out) const
{
    const CPlatformDesc* platform = m_common->m_platformDesc.get();
    std::size_t width = kDefaultHostByteBits;
    if (platform != nullptr && platform->m_hostByteBits > 0) {
        width = static_cast<std::size_t>(platform->m_hostByteBits);
    }
    // Bits shifted out at the top of a byte are dropped by the final narrowing.
    for (std::size_t first = 0; first < code.size(); first += width) {
        const char* bit = code.data() + first;
        const char* const end = bit + std::min(width, code.size() - first);
        unsigned value = 0;
        for (; bit != end; ++bit) {
            value = (value << 1) | (*bit == '1' ? 1U : 0U);
        }
        out.push_back(static_cast<std::uint8_t>(value));
    }
}

void CRozeDov::dumpHostBytes(const std::vector<std::uint8_t>& code, std::size_t start) const
{
    if (start >= code.size()) {
        return;
    }
    std::string line;
    for (std::size_t i = start; i < code.size(); ++i) {
        line += NumberFormat::ToHex(code[i], 2);
        line += ' ';
    }
    line += '\n';
    std::cout << line;
}

// A label's value is the byte offset of its cycle; a label behind the last
// statement of its section stands for the end of the section.
void CRozeDov::assignSymbolValues()
{
    for (const auto& symbol : m_common->m_symbols->symbols()) {
        const CSection* section = symbol->m_section;
        if (section == nullptr || !hasWordsToLayOut(*section)) {
            continue;
        }
        const auto& map = section->cycleToAddrMap;
        const auto cycle = static_cast<std::size_t>(std::max(symbol->getCycle(), 0));
        const std::size_t end = section->m_code.size();
        symbol->m_value = static_cast<std::uint32_t>(cycle < map.size() ? static_cast<std::size_t>(map[cycle]) : end);
        if ((symbol->m_type == CSymbol::Object || symbol->m_type == CSymbol::Function) && symbol->m_name == section->m_name) {
            symbol->m_size = static_cast<std::uint32_t>(end);
        }
    }
}
