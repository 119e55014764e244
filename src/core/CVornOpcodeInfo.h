#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/COpcodeInfoPool.h"

// The Vorn instruction set: the data word (id 101) and the 21 instructions
// (ids 102 to 122) with their encoding patterns.
class CVornOpcodeInfo : public COpcodeInfoPool {
public:
    // The forms of instruction (COpcodeDesc::m_form).
    enum Form : std::int32_t { DataWord = 0, Register = 1, Jump = 2, LoadStore = 3 };
    static constexpr std::int32_t kDataWordId = 101;

    CVornOpcodeInfo();

    // The form of a statement id, or -1 for an id not in the table.
    static std::int32_t formOf(std::int32_t id);
    // The encoding pattern of an instruction word, found by its opcode
    // (bits 14..9); empty for an opcode no instruction has.
    static std::string_view patternOfWord(std::uint32_t word);
    // The form of an instruction word, found by its opcode; -1 for an
    // opcode no instruction has.
    static std::int32_t formOfWord(std::uint32_t word);
    // The target field of a jump's word (bits 8..0): the word address it jumps to.
    static std::uint32_t jumpTargetOf(std::uint32_t word);
    // The word's bits, most significant first, in groups by the fields of
    // its pattern: "000011 001 001 000" for "and R1, R1, R0", "010000
    // 000000110" for a jump; a data word (16 bits) is one field. An
    // instruction word of no known opcode is grouped as opcode and rest.
    static std::string fieldBits(std::uint32_t word, bool dataWord);
};
