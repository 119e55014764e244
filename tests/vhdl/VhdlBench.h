#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vhdltest {

// VHDL texts around the assembler's outputs: the ROM entity its architecture
// bodies belong to, and test benches that check every ROM address or every
// data-memory word against expected words.
class VhdlBench {
public:
    static constexpr int kRomDepth = 512;
    static constexpr int kCodeBits = 15;
    static constexpr int kDataBits = 16;
    static constexpr const char* kRomBenchName = "rom_tb";
    static constexpr const char* kMemoryBenchName = "mem_tb";

    // The entity instr_rom: iA an integer address 0 to 511, oQ the 15-bit word.
    static std::string romEntity();

    // Reads every address 0..511 of instr_rom and compares it with
    // `expected` (missing words are expected to be zero).
    static std::string romTestBench(const std::vector<std::uint32_t>& expected);

    // Runs the sMEM assignments `dataLines` in a process, then compares every
    // word of sMEM (sized to `expected`) with `expected`.
    static std::string memoryTestBench(const std::vector<std::string>& dataLines,
                                       const std::vector<std::uint32_t>& expected);

    // The line a passing bench reports last.
    static std::string passLine(std::size_t words);

    // The architecture blocks of a ROM text, each through its "end" line.
    static std::vector<std::string> splitArchitectures(const std::string& romText);

    // The lines of a text, without their line ends.
    static std::vector<std::string> splitLines(const std::string& text);

    // The low `width` bits of `value`, most significant first.
    static std::string bits(std::uint32_t value, int width);
};

}  // namespace vhdltest
