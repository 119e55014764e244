#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "emitter/CEmitter.h"

class CFileBuffer;
class CSection;

// Writes the code sections as an instr_rom VHDL architecture (".txt") and the
// data sections as sMEM assignments (".dat"), with fixups applied.
class CVornStringEmitter : public CEmitter {
public:
    CVornStringEmitter();
    ~CVornStringEmitter() override;

    // Builds both texts; the sections' own bytes stay unpatched.
    void run() override;
    // Writes "<name>.txt" and "<name>.dat"; each failure is reported as 1316.
    void writeFiles(const std::string& name) override;

    // A copy of the section's bytes with its fixups of kind 0 applied: the
    // symbol's word address goes into the low 2 bits of the cycle's first
    // byte and the low 7 bits of its second byte.
    static std::vector<std::uint8_t> patchedCode(const CSection& section);
    // The architecture block of one code section. A missing last byte of an
    // odd byte count reads as 0.
    static void appendRomText(const std::vector<std::uint8_t>& code, CFileBuffer& out);
    // One sMEM line per 16-bit word, numbered from 0.
    static void appendDataText(const std::vector<std::uint8_t>& code, CFileBuffer& out);

    std::unique_ptr<CFileBuffer> m_dataBuffer;
};
