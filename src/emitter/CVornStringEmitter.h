#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CSection;
class CSectionTable;

// Builds the code sections as an instr_rom VHDL architecture (the ".txt"
// text) and the data sections as sMEM assignments (the ".dat" text), with
// fixups applied.
class CVornStringEmitter {
public:
    // Builds both texts; the sections' own bytes stay unpatched.
    void run(const CSectionTable& sections);

    // A copy of the section's bytes with its fixups of kind 0 applied: the
    // symbol's word address goes into the low 2 bits of the cycle's first
    // byte and the low 7 bits of its second byte.
    static std::vector<std::uint8_t> patchedCode(const CSection& section);
    // The architecture block of one code section. A missing last byte of an
    // odd byte count reads as 0.
    static void appendRomText(const std::vector<std::uint8_t>& code, std::string& out);
    // One sMEM line per 16-bit word, numbered from 0.
    static void appendDataText(const std::vector<std::uint8_t>& code, std::string& out);

    std::string m_codeText;
    std::string m_dataText;
};
