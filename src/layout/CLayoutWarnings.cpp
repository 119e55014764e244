#include "layout/CLayoutWarnings.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/CDiagnosticMsgHandler.h"
#include "core/CSection.h"
#include "core/CSectionTable.h"
#include "core/CSymbolTable.h"
#include "core/CVornPlatformDesc.h"
#include "core/CVornOpcodeInfo.h"
#include "core/CExpr.h"
#include "core/CParseError.h"
#include "core/CStatement.h"
#include "util/NumberFormat.h"

namespace {
// Both memories hold 512 words; a jump carries a 9-bit word address.
constexpr auto kMemoryWords = static_cast<std::int64_t>(CVornPlatformDesc::kMemoryWords);
constexpr double kLowestDataWord = -32768.0;
constexpr double kHighestDataWord = 65535.0;

// The value of a statement's expression operand: a number and at most one
// label; false when it has none or cannot be evaluated (reported elsewhere).
bool evaluateOperand(const CStatement& statement, double& value, std::string& symbol)
{
    for (const auto& operand : statement.m_operands) {
        const CSymExpOperand* expression = operand ? operand->asSymExp() : nullptr;
        if (expression == nullptr || !expression->m_expr) {
            continue;
        }
        try {
            expression->m_expr->evaluate(value, symbol);
            return true;
        } catch (const CParseError&) {
            return false;
        }
    }
    return false;
}

std::string hexWord(std::uint32_t word)
{
    return "x\"" + NumberFormat::ToHex(word, 4) + "\"";
}

// A value as the source meant it; no number is "inf" or "nan".
std::string number(double value)
{
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    }
    return std::to_string(CExpr::toInt64(value));
}
}  // namespace

CLayoutWarnings::CLayoutWarnings(const CSectionTable& sections, const CSymbolTable& symbols,
                                 CDiagnosticMsgHandler& diagnostics)
    : m_sections(&sections), m_symbols(&symbols), m_diag(&diagnostics)
{
}

void CLayoutWarnings::run()
{
    for (const auto& section : m_sections->sections()) {
        if (section->isData()) {
            checkDataWords(*section);
        } else if (section->m_kind == CSection::Code) {
            checkJumps(*section);
        }
        checkSectionSize(*section);
    }
    checkOverlaps();
}

void CLayoutWarnings::warnSection(const CStatement& first, const std::function<std::string()>& text)
{
    if (!m_diag->nextWarningShown()) {
        m_diag->warn({});
        return;
    }
    m_diag->warn({text(), first.m_offset, 1});
}

void CLayoutWarnings::warn(const CStatement& statement, std::string_view word,
                           const std::function<std::string()>& text)
{
    if (!m_diag->nextWarningShown()) {
        // Counted only.
        m_diag->warn({});
        return;
    }
    // At the label when one is named, else at the value, else at the statement.
    CDiagnosticMsgHandler::Detail detail{text(), statement.m_offset, 1};
    for (const auto& operand : statement.m_operands) {
        const CSymExpOperand* expression = operand ? operand->asSymExp() : nullptr;
        if (expression == nullptr || !expression->m_expr) {
            continue;
        }
        if (word.empty()) {
            detail.offset = expression->m_offset;
            detail.length = std::max<std::size_t>(expression->m_length, 1);
            break;
        }
        if (const CExpr* use = expression->m_expr->findIdentifier(word)) {
            detail.offset = use->m_offset;
            detail.length = word.size();
            break;
        }
    }
    m_diag->warn(std::move(detail));
}

const CStatement* CLayoutWarnings::statementOfCycle(const CSection& section, std::int32_t cycle)
{
    for (const auto& statement : section.m_statements) {
        if (statement->m_cycle == cycle) {
            return statement.get();
        }
    }
    return nullptr;
}

std::uint32_t CLayoutWarnings::storedWord(const CSection& section, std::int32_t cycle)
{
    if (cycle < 0 || static_cast<std::size_t>(cycle) >= section.cycleToAddrMap.size()) {
        return 0;
    }
    const auto offset = static_cast<std::size_t>(section.cycleToAddrMap[static_cast<std::size_t>(cycle)]);
    if (offset + 1 >= section.m_code.size()) {
        return 0;
    }
    return (static_cast<std::uint32_t>(section.m_code[offset]) << 8) | section.m_code[offset + 1];
}

void CLayoutWarnings::checkDataWords(const CSection& section)
{
    for (const auto& statement : section.m_statements) {
        double value = 0.0;
        std::string symbol;
        if (statement->m_id != CVornOpcodeInfo::kDataWordId || !evaluateOperand(*statement, value, symbol) || !symbol.empty()) {
            continue;
        }
        auto stored = [&] { return hexWord(storedWord(section, statement->m_cycle)); };
        if (!std::isfinite(value)) {
            warn(*statement, {},
                 [&] { return "this data word is no number (a division by zero?); " + stored() + " is stored"; });
        } else if (value < kLowestDataWord || value > kHighestDataWord) {
            warn(*statement, {}, [&] {
                return "data word " + number(value) + " does not fit 16 bits (-32768 to 65535); " + stored() +
                       " is stored";
            });
        }
    }
}

void CLayoutWarnings::checkSectionSize(const CSection& section)
{
    const auto words = static_cast<std::int64_t>(section.m_code.size() / 2);
    if (words <= kMemoryWords) {
        return;
    }
    const CStatement* first = statementOfCycle(section, static_cast<std::int32_t>(kMemoryWords));
    if (first == nullptr) {
        return;
    }
    if (section.m_kind == CSection::Code) {
        warnSection(*first, [&] {
            return "the code reaches word " + std::to_string(words - 1) +
                   ", beyond the ROM's 512 words (0 to 511): this and every later word do not fit";
        });
    } else {
        warnSection(*first, [&] {
            return "data word " + std::to_string(kMemoryWords) +
                   " lies beyond the data memory's 512 words (0 to 511), as does every later one";
        });
    }
}

void CLayoutWarnings::checkJumps(const CSection& section)
{
    for (const auto& statement : section.m_statements) {
        if (CVornOpcodeInfo::formOf(statement->m_id) == CVornOpcodeInfo::Jump) {
            checkJump(section, *statement);
        }
    }
}

void CLayoutWarnings::checkJump(const CSection& section, const CStatement& statement)
{
    double value = 0.0;
    std::string name;
    if (!evaluateOperand(statement, value, name)) {
        return;
    }
    if (name.empty()) {
        // A plain number is the word address itself; its low bits are encoded.
        const std::int64_t word = CExpr::toInt64(value);
        if (!std::isfinite(value) || word < 0 || word >= kMemoryWords) {
            warn(statement, {}, [&] {
                return "jump target " + number(value) + " does not fit 9 bits (words 0 to 511); word " +
                       std::to_string(static_cast<std::uint64_t>(word) & (kMemoryWords - 1)) + " is encoded";
            });
        }
        return;
    }
    const CSymbol* symbol = m_symbols->find(name);
    if (symbol != nullptr && symbol->m_section != nullptr) {
        // Layout keeps the addend as a 32-bit number.
        checkLabelTarget(section, statement, *symbol, CExpr::toInt32(value));
    }
}

void CLayoutWarnings::checkLabelTarget(const CSection& section, const CStatement& statement, const CSymbol& symbol,
                                       std::int64_t addend)
{
    if (symbol.m_section->m_kind != CSection::Code) {
        warn(statement, symbol.m_name, [&] { return "jump to '" + symbol.m_name + "', a label of a data section"; });
        return;
    }
    if (symbol.m_section != &section) {
        warn(statement, symbol.m_name, [&] {
            return "jump to '" + symbol.m_name + "', a label of another code section (each has its own ROM block)";
        });
        return;
    }
    const std::int64_t target = static_cast<std::int64_t>(symbol.m_value) + addend;
    const std::int64_t word = target >> 1;
    const std::int64_t encoded = word & (kMemoryWords - 1);
    if (target % 2 != 0) {
        warn(statement, symbol.m_name, [&] {
            return "jump target is byte " + std::to_string(target) + ", inside word " + std::to_string(word) +
                   ": addends count bytes, two per word; word " + std::to_string(encoded) + " is encoded";
        });
    } else if (word < 0 || word >= kMemoryWords) {
        warn(statement, symbol.m_name, [&] {
            return "jump target is word " + std::to_string(word) + ", beyond the ROM's 512 words; word " +
                   std::to_string(encoded) + " is encoded";
        });
    }
}

void CLayoutWarnings::checkOverlaps()
{
    // Every data section writes sMEM from word 0, and every code section
    // makes a ROM block of its own from word 0: a later one writes over an
    // earlier one's words.
    std::int64_t dataWords = 0;
    std::int64_t codeWords = 0;
    for (const auto& section : m_sections->sections()) {
        const auto words = static_cast<std::int64_t>(section->m_code.size() / 2);
        if (section->m_statements.empty() || words == 0) {
            continue;
        }
        const CStatement& first = *section->m_statements.front();
        std::int64_t& before = section->m_kind == CSection::Code ? codeWords : dataWords;
        if (before > 0) {
            const std::int64_t overlap = std::min(before, words);
            if (section->m_kind == CSection::Code) {
                warnSection(first, [&] {
                    return "a second code section: its ROM block gives words 0 to " + std::to_string(overlap - 1) +
                           " again, and a design can keep only one of the blocks";
                });
            } else {
                warnSection(first, [&] {
                    const std::string words = overlap == 1 ? "sMEM(0)"
                                                            : "sMEM(0) to sMEM(" + std::to_string(overlap - 1) + ")";
                    return "a second data section: it assigns " + words +
                           " again, after the earlier section; the later value wins";
                });
            }
        }
        before = std::max(before, words);
    }
}
