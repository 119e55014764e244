#include "core/CVornOpcodeInfo.h"

#include <array>
#include <string_view>

namespace {
using Form = CVornOpcodeInfo::Form;
using enum CVornOpcodeInfo::Form;

// Operand-encoding id of a register field (the 3-bit register number).
constexpr std::int32_t kReg = 0;

struct OpcodeRow {
    std::int32_t id;
    std::int32_t form;
    std::string_view encoding;
    std::size_t operEncCount;
    std::array<std::int32_t, 3> operEncIds;
};

// Bits 14..9 hold the opcode; "Ddd"/"Sss" are register fields filled with the
// registers in source order, "Iii..." the immediate.
constexpr OpcodeRow kOpcodeRows[] = {
    {CVornOpcodeInfo::kDataWordId, DataWord, "Iiiiiiiiiiiiiiii", 0, {}},
    {102, Register, "000000DddSssxxx", 2, {kReg, kReg}},        // mov
    {103, Register, "000001DddSssSss", 3, {kReg, kReg, kReg}},  // add
    {104, Register, "000010DddSssSss", 3, {kReg, kReg, kReg}},  // sub
    {105, Register, "000011DddSssSss", 3, {kReg, kReg, kReg}},  // and
    {106, Register, "000100DddSssSss", 3, {kReg, kReg, kReg}},  // or
    {107, Register, "000101DddSssxxx", 2, {kReg, kReg}},        // not
    {108, Register, "000110DddSssxxx", 2, {kReg, kReg}},        // inc
    {109, Register, "000111DddSssxxx", 2, {kReg, kReg}},        // dec
    {110, Register, "001000DddSssxxx", 2, {kReg, kReg}},        // shl
    {111, Register, "001001DddSssxxx", 2, {kReg, kReg}},        // shr
    {112, Register, "001010DddSssxxx", 2, {kReg, kReg}},        // ashl
    {113, Register, "001011DddSssxxx", 2, {kReg, kReg}},        // ashr
    {114, Jump, "010000Iiiiiiiii", 0, {}},                      // jmp
    {115, Jump, "010001Iiiiiiiii", 0, {}},                      // jmpz
    {116, Jump, "010010Iiiiiiiii", 0, {}},                      // jmps
    {117, Jump, "010011Iiiiiiiii", 0, {}},                      // jmpc
    {118, Jump, "010101Iiiiiiiii", 0, {}},                      // jmpnz
    {119, Jump, "010110Iiiiiiiii", 0, {}},                      // jmpns
    {120, Jump, "010111Iiiiiiiii", 0, {}},                      // jmpnc
    {121, LoadStore, "100000DddxxxSss", 2, {kReg, kReg}},       // ld
    {122, LoadStore, "110000xxxSssSss", 2, {kReg, kReg}},       // st
};

constexpr std::size_t kInstructionBits = 15;
constexpr std::size_t kOpcodeBits = 6;
constexpr std::uint32_t kFieldBits = kInstructionBits - kOpcodeBits;
constexpr std::uint32_t kOpcodeMask = (1U << kOpcodeBits) - 1;

// The fixed opcode bits at the head of an instruction pattern.
constexpr std::uint32_t opcodeOf(std::string_view encoding)
{
    std::uint32_t opcode = 0;
    for (std::size_t i = 0; i < kOpcodeBits; ++i) {
        opcode = opcode << 1 | (encoding[i] == '1' ? 1U : 0U);
    }
    return opcode;
}

// The ids follow each other from the data word's on, so an id is its row's index.
constexpr bool idsFollowEachOther()
{
    for (std::size_t i = 0; i < std::size(kOpcodeRows); ++i) {
        if (kOpcodeRows[i].id != CVornOpcodeInfo::kDataWordId + static_cast<std::int32_t>(i)) {
            return false;
        }
    }
    return true;
}
static_assert(idsFollowEachOther());

// The instruction row of a word's opcode; null for an opcode no instruction has.
const OpcodeRow* rowOfWord(std::uint32_t word)
{
    const std::uint32_t opcode = (word >> kFieldBits) & kOpcodeMask;
    for (const OpcodeRow& row : kOpcodeRows) {
        if (row.form != CVornOpcodeInfo::DataWord && opcodeOf(row.encoding) == opcode) {
            return &row;
        }
    }
    return nullptr;
}
}  // namespace

std::int32_t CVornOpcodeInfo::formOf(std::int32_t id)
{
    const std::int64_t row = static_cast<std::int64_t>(id) - kDataWordId;
    return row >= 0 && row < static_cast<std::int64_t>(std::size(kOpcodeRows)) ? kOpcodeRows[row].form : -1;
}

std::string_view CVornOpcodeInfo::patternOfWord(std::uint32_t word)
{
    const OpcodeRow* row = rowOfWord(word);
    return row != nullptr ? row->encoding : std::string_view();
}

std::int32_t CVornOpcodeInfo::formOfWord(std::uint32_t word)
{
    const OpcodeRow* row = rowOfWord(word);
    return row != nullptr ? row->form : -1;
}

std::uint32_t CVornOpcodeInfo::jumpTargetOf(std::uint32_t word)
{
    return word & ((1U << kFieldBits) - 1);
}

std::string CVornOpcodeInfo::fieldBits(std::uint32_t word, bool dataWord)
{
    const std::string_view pattern = dataWord ? kOpcodeRows[0].encoding : patternOfWord(word);
    const std::size_t width = dataWord ? pattern.size() : kInstructionBits;
    std::string bits;
    for (std::size_t i = 0; i < width; ++i) {
        // A field starts at its upper-case letter, a run of don't-cares at its
        // first "x", and the fields at the end of the opcode.
        const char here = i < pattern.size() ? pattern[i] : '0';
        const bool opens = (here >= 'A' && here <= 'Z') || (here == 'x' && (i == 0 || pattern[i - 1] != 'x'));
        if (!dataWord && (i == kOpcodeBits || (i > kOpcodeBits && opens))) {
            bits += ' ';
        }
        bits += ((word >> (width - 1 - i)) & 1U) != 0 ? '1' : '0';
    }
    return bits;
}

CVornOpcodeInfo::CVornOpcodeInfo()
{
    for (const OpcodeRow& row : kOpcodeRows) {
        COpcodeDesc desc;
        desc.m_form = row.form;
        desc.m_id = row.id;
        desc.m_encoding = row.encoding;
        desc.m_operEncIds.assign(row.operEncIds.begin(), row.operEncIds.begin() + row.operEncCount);
        m_table.emplace(row.id, std::move(desc));
    }
}
