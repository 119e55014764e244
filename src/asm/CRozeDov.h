#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
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
    // Lays out the section's complete cycles with nothing reported; a
    // reference to a name not defined yet is resolved at layout(). When a
    // message would have come, layout() starts over and reports it.
    void layOutAhead(CSection& section) override;

private:
    // What layout during the parse has done.
    struct Ahead {
        struct Reference {
            CSection* section;
            std::size_t fixup;
            std::string name;
        };
        // By section, the statements laid out.
        std::unordered_map<const CSection*, std::size_t> laidOut;
        std::vector<Reference> unresolved;
        // Something would have been reported.
        bool spoiled = false;
    };

    static bool isLaidOut(const CSection& section);
    static bool isData(const CSection& section);
    static void numberDataCycles(CSection& section, std::size_t first);
    // Lays out the section's rest and resolves the references left; false
    // when a message would come of it.
    bool finishLayoutAhead();
    void layOutAheadMuted(CSection& section, bool lastToo);
    void discardLayout();
    void layoutSection(CSection& section);
    // Lays out the cycles of the statements from `first` on; the last cycle
    // only with `lastToo` (more of it may still come). Returns where it stopped.
    std::size_t layoutCycles(CSection& section, std::size_t first, bool lastToo);
    void layoutCycle(CSection& section, const std::vector<CStatement*>& group, std::int32_t cycle);
    void recordFixups(CSection& section, const std::vector<CStatement*>& group, std::int32_t start);
    void recordFixup(CSection& section, const std::vector<CStatement*>& group, const CStatement& statement,
                     const CSymExpOperand& operand, std::int32_t start);
    void packHostBytes(const std::string& code, std::vector<std::uint8_t>& out) const;
    void dumpHostBytes(const std::vector<std::uint8_t>& code, std::size_t start) const;
    void assignSymbolValues();

    std::unique_ptr<Ahead> m_ahead;
    std::vector<CStatement*> m_group;
};
