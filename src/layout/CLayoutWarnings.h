#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CDiagnosticMsgHandler;
class CSection;
class CSectionTable;
class CStatement;
class CSymbol;
class CSymbolTable;

// After layout: warns, on standard error only, of values that do not fit
// the machine and so would be cut without a word (data words beyond 16
// bits, jump targets beyond the 512-word ROM, odd byte targets, labels of
// the wrong section, sections longer than their memory, words that one
// section writes over another's). The outputs stay as they are.
class CLayoutWarnings {
public:
    CLayoutWarnings(const CSectionTable& sections, const CSymbolTable& symbols, CDiagnosticMsgHandler& diagnostics);

    void run();

private:
    void checkDataWords(const CSection& section);
    void checkSectionSize(const CSection& section);
    void checkJumps(const CSection& section);
    void checkJump(const CSection& section, const CStatement& statement);
    void checkLabelTarget(const CSection& section, const CStatement& statement, const CSymbol& symbol,
                          std::int64_t addend);
    void checkOverlaps();
    // The first statement of the section's cycle, or null.
    static const CStatement* statementOfCycle(const CSection& section, std::int32_t cycle);
    // The 16-bit word laid out for a cycle.
    static std::uint32_t storedWord(const CSection& section, std::int32_t cycle);
    // Gives a warning at the statement, or at the label `word` in it; its
    // text is made only when it is kept.
    void warn(const CStatement& statement, std::string_view word, const std::function<std::string()>& text);
    // A warning about a whole section, at its first statement.
    void warnSection(const CStatement& first, const std::function<std::string()>& text);

    const CSectionTable* m_sections;
    const CSymbolTable* m_symbols;
    CDiagnosticMsgHandler* m_diag;
};
