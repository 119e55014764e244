#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CDiagnosticMsgHandler;
class COpcodeGenerator;
class CPlatformDesc;
class CSection;
class CSectionTable;
class CStatement;
class CSymbol;
class CSymbolTable;
class CSymExpOperand;

// The layout pass: encodes every cycle of the code and data sections into
// host bytes, records cycle offsets and symbol fixups (1315 for each
// undefined reference), gives the sections' symbols their byte offsets, and
// in a program without errors warns of values that do not fit.
class CLayout {
public:
    CLayout(CSectionTable& sections, CSymbolTable& symbols, COpcodeGenerator& generator, const CPlatformDesc& platform,
            CDiagnosticMsgHandler& diagnostics, bool debugDump);

    void run();
    // The kind number stored in a fixup made for the given cycle: 0 on this target.
    int fixupKind(const std::vector<CStatement*>& cycle, const CSection& section) const;

    // Whether layout has work in the section: it holds code or data words
    // and has statements.
    static bool hasWordsToLayOut(const CSection& section);

    // Reports what the layout says of label uses, in its order, without
    // laying anything out: an expression that is not one label plus a
    // number, and a label that is not defined. Neither depends on an
    // address, so they hold for a program the parse left incomplete.
    static void checkLabelUses(const CSectionTable& sections, const CSymbolTable& symbols,
                               CDiagnosticMsgHandler& diagnostics);

private:
    static void numberDataCycles(CSection& section);
    void layoutSection(CSection& section);
    void layoutCycle(CSection& section, const std::vector<CStatement*>& group, std::int32_t cycle);
    void recordFixups(CSection& section, const std::vector<CStatement*>& group, std::int32_t start);
    void recordFixup(CSection& section, const std::vector<CStatement*>& group, const CStatement& statement,
                     const CSymExpOperand& operand, std::int32_t start);
    void packHostBytes(const std::string& code, std::vector<std::uint8_t>& out) const;
    void dumpHostBytes(const std::vector<std::uint8_t>& code, std::size_t start) const;
    void assignSymbolValues();
    // The label an expression operand uses, its addend in `value`; null when
    // it uses none, or uses one wrongly or undefined (and that is reported).
    static CSymbol* usedLabel(const CSymbolTable& symbols, CDiagnosticMsgHandler& diagnostics,
                              const CStatement& statement, const CSymExpOperand& operand, double& value);
    // The detail of message 1315, with the closest defined label.
    static std::string undefinedSymbolText(const CSymbolTable& symbols, const std::string& name);

    CSectionTable* m_sections;
    CSymbolTable* m_symbols;
    COpcodeGenerator* m_generator;
    const CPlatformDesc* m_platform;
    CDiagnosticMsgHandler* m_diag;
    bool m_debugDump;
};
