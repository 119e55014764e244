#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "asm/CAsm.h"

class CSymExpOperand;

// The Vorn driver: creates the target's modules and lays out its sections.
class CRozeDov : public CAsm {
public:
    using CAsm::CAsm;

    void init(CAsm* driver) override;
    // Encodes every cycle of the code and data sections into host bytes,
    // records cycle offsets and symbol fixups (1315 for each undefined
    // reference), then gives the sections' symbols their byte offsets.
    void layout() override;
    int fixupKind(const std::vector<CStatement*>& cycle, const CSection& section) override;

private:
    // Whether layout has work in the section: it holds code or data words
    // and has statements.
    static bool hasWordsToLayOut(const CSection& section);
    static void numberDataCycles(CSection& section);
    void layoutSection(CSection& section);
    void layoutCycle(CSection& section, const std::vector<CStatement*>& group, std::int32_t cycle);
    void recordFixups(CSection& section, const std::vector<CStatement*>& group, std::int32_t start);
    void recordFixup(CSection& section, const std::vector<CStatement*>& group, const CStatement& statement,
                     const CSymExpOperand& operand, std::int32_t start);
    void packHostBytes(const std::string& code, std::vector<std::uint8_t>& out) const;
    void dumpHostBytes(const std::vector<std::uint8_t>& code, std::size_t start) const;
    void assignSymbolValues();
    // The detail of message 1315, with the closest defined label.
    std::string undefinedSymbolText(const std::string& name) const;
};
