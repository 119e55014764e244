#include "layout/CLayout.h"

#include <algorithm>

#include "core/CDiagnosticMsgHandler.h"
#include "core/CParseError.h"
#include "core/CPlatformDesc.h"
#include "core/CSectionTable.h"
#include "core/CStatement.h"
#include "core/CSymbolTable.h"
#include "layout/CLayoutWarnings.h"
#include "layout/COpcodeGenerator.h"
#include "util/CSpelling.h"
#include "util/NumberFormat.h"

namespace {
constexpr std::size_t kDefaultHostByteBits = 8;
// Suggestions compare with every label: only where there are not too many.
constexpr std::size_t kMostCompared = 10000;
// The messages of a label use: an expression that is not one label (plus a
// number), and a label that is not defined.
constexpr int kWrongSymbolUsage = 1312;
constexpr int kUndefinedSymbol = 1315;
}  // namespace

CLayout::CLayout(CSectionTable& sections, CSymbolTable& symbols, COpcodeGenerator& generator,
                 const CPlatformDesc& platform, CDiagnosticMsgHandler& diagnostics, bool debugDump)
    : m_sections(&sections), m_symbols(&symbols), m_generator(&generator), m_platform(&platform),
      m_diag(&diagnostics), m_debugDump(debugDump)
{
}

int CLayout::fixupKind(const std::vector<CStatement*>& /*cycle*/, const CSection& /*section*/) const
{
    return 0;
}

void CLayout::run()
{
    for (const auto& section : m_sections->sections()) {
        layoutSection(*section);
    }
    assignSymbolValues();
    // Values that do not fit are worth a word only in a program without errors.
    if (m_diag->numberedCount() == 0) {
        CLayoutWarnings(*m_sections, *m_symbols, *m_diag).run();
    }
}

bool CLayout::hasWordsToLayOut(const CSection& section)
{
    const bool holdsWords = section.m_kind == CSection::Code || section.isData();
    return holdsWords && !section.m_statements.empty();
}

// Every data word is its own cycle, whatever the parser stored.
void CLayout::numberDataCycles(CSection& section)
{
    std::int32_t cycle = 0;
    for (const auto& statement : section.m_statements) {
        statement->m_cycle = cycle++;
    }
}

void CLayout::layoutSection(CSection& section)
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

void CLayout::layoutCycle(CSection& section, const std::vector<CStatement*>& group, std::int32_t cycle)
{
    const std::string code = m_generator->generate(group);
    const std::size_t start = section.m_code.size();
    if (cycle >= 0) {
        section.cycleToAddrMap[static_cast<std::size_t>(cycle)] = static_cast<std::int32_t>(start);
    }
    recordFixups(section, group, static_cast<std::int32_t>(start));
    packHostBytes(code, section.m_code);
    if (m_debugDump) {
        dumpHostBytes(section.m_code, start);
    }
}

void CLayout::recordFixups(CSection& section, const std::vector<CStatement*>& group, std::int32_t start)
{
    for (const CStatement* statement : group) {
        for (const auto& operand : statement->m_operands) {
            const CSymExpOperand* symExp = operand != nullptr ? operand->asSymExp() : nullptr;
            if (symExp != nullptr && symExp->m_expr) {
                recordFixup(section, group, *statement, *symExp, start);
            }
        }
    }
}

void CLayout::recordFixup(CSection& section, const std::vector<CStatement*>& group, const CStatement& statement,
                          const CSymExpOperand& operand, std::int32_t start)
{
    double value = 0.0;
    CSymbol* symbol = usedLabel(*m_symbols, *m_diag, statement, operand, value);
    if (symbol == nullptr) {
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

CSymbol* CLayout::usedLabel(const CSymbolTable& symbols, CDiagnosticMsgHandler& diagnostics,
                            const CStatement& statement, const CSymExpOperand& operand, double& value)
{
    std::string name;
    try {
        operand.m_expr->evaluate(value, name);
    } catch (const CParseError&) {
        diagnostics.reportError(kWrongSymbolUsage, statement.m_line, statement.m_fileIndex, "",
                                {CExpr::kOneLabelRule, operand.m_offset, std::max<std::size_t>(operand.m_length, 1)});
        return nullptr;
    }
    if (name.empty()) {
        return nullptr;
    }
    CSymbol* symbol = symbols.find(name);
    if (symbol == nullptr) {
        const CExpr* use = operand.m_expr->findIdentifier(name);
        diagnostics.reportError(kUndefinedSymbol, statement.m_line, statement.m_fileIndex, name,
                                {undefinedSymbolText(symbols, name), use != nullptr ? use->m_offset : operand.m_offset,
                                 name.size()});
    }
    return symbol;
}

void CLayout::checkLabelUses(const CSectionTable& sections, const CSymbolTable& symbols,
                             CDiagnosticMsgHandler& diagnostics)
{
    for (const auto& section : sections.sections()) {
        if (!hasWordsToLayOut(*section)) {
            continue;
        }
        for (const auto& statement : section->m_statements) {
            for (const auto& operand : statement->m_operands) {
                const CSymExpOperand* symExp = operand != nullptr ? operand->asSymExp() : nullptr;
                double value = 0.0;
                if (symExp != nullptr && symExp->m_expr) {
                    usedLabel(symbols, diagnostics, *statement, *symExp, value);
                }
            }
        }
    }
}

std::string CLayout::undefinedSymbolText(const CSymbolTable& symbols, const std::string& name)
{
    std::string text = "undefined label '" + name + "'";
    if (symbols.symbols().size() <= kMostCompared) {
        std::vector<std::string> defined;
        for (const auto& symbol : symbols.symbols()) {
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
void CLayout::packHostBytes(const std::string& code, std::vector<std::uint8_t>& out) const
{
    std::size_t width = kDefaultHostByteBits;
    if (m_platform->m_hostByteBits > 0) {
        width = static_cast<std::size_t>(m_platform->m_hostByteBits);
    }
    // Bits shifted out at the top of a byte are dropped by the final narrowing.
    for (std::size_t first = 0; first < code.size(); first += width) {
        const std::size_t end = first + std::min(width, code.size() - first);
        unsigned value = 0;
        for (std::size_t bit = first; bit < end; ++bit) {
            value = (value << 1) | (code[bit] == '1' ? 1U : 0U);
        }
        out.push_back(static_cast<std::uint8_t>(value));
    }
}

void CLayout::dumpHostBytes(const std::vector<std::uint8_t>& code, std::size_t start) const
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
    m_diag->trace(line);
}

// A label's value is the byte offset of its cycle; a label behind the last
// statement of its section stands for the end of the section.
void CLayout::assignSymbolValues()
{
    for (const auto& symbol : m_symbols->symbols()) {
        const CSection* section = symbol->m_section;
        if (section == nullptr || !hasWordsToLayOut(*section)) {
            continue;
        }
        const auto& map = section->cycleToAddrMap;
        const auto cycle = static_cast<std::size_t>(std::max(symbol->getCycle(), 0));
        const std::size_t end = section->m_code.size();
        symbol->m_value = static_cast<std::uint32_t>(cycle < map.size() ? static_cast<std::size_t>(map[cycle]) : end);
        if ((symbol->m_type == CSymbol::Object || symbol->m_type == CSymbol::Function) &&
            symbol->m_name == section->m_name) {
            symbol->m_size = static_cast<std::uint32_t>(end);
        }
    }
}
