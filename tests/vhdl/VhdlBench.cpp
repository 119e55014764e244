#include "vhdl/VhdlBench.h"

#include <sstream>

namespace vhdltest {

namespace {

constexpr const char* kContext = "library ieee;\nuse ieee.std_logic_1164.all;\n\n";
constexpr const char* kBlockEnd = "end Behavioral;\n";

// "type <name> is array ..." and a constant `expected` holding the words,
// one named association per word.
std::string expectedWords(const std::string& typeName, const std::vector<std::uint32_t>& words,
                          std::size_t depth, int width)
{
    std::ostringstream text;
    text << "    type " << typeName << " is array (0 to " << depth - 1
         << ") of std_logic_vector(" << width - 1 << " downto 0);\n";
    text << "    constant expected : " << typeName << " := (\n";
    for (std::size_t k = 0; k < depth; ++k) {
        const std::uint32_t word = k < words.size() ? words[k] : 0;
        text << "        " << k << " => \"" << VhdlBench::bits(word, width) << "\""
             << (k + 1 < depth ? ",\n" : ");\n");
    }
    return text.str();
}

// The body of a checking process: compare `actual(i)` (after `settle`) with
// expected(i) for every index, report the first mismatches, then the count.
std::string compareLoop(const std::string& settle, const std::string& actual, std::size_t depth)
{
    std::ostringstream text;
    text << "    compare : process\n"
            "        variable mismatches : natural := 0;\n"
            "    begin\n"
            "        wait for 1 ns;\n"
            "        for i in 0 to " << depth - 1 << " loop\n"
         << settle
         << "            if " << actual << " /= expected(i) then\n"
            "                mismatches := mismatches + 1;\n"
            "                if mismatches <= 10 then\n"
            "                    report \"MISMATCH at \" & integer'image(i) & \": got \" & to_string("
         << actual << ") & \", expected \" & to_string(expected(i)) severity error;\n"
            "                end if;\n"
            "            end if;\n"
            "        end loop;\n"
            "        report \"CHECKED \" & integer'image(" << depth
         << ") & \" WORDS, \" & integer'image(mismatches) & \" MISMATCHES\";\n"
            "        assert mismatches = 0 report \"words differ from the expected ones\" severity failure;\n"
            "        wait;\n"
            "    end process;\n";
    return text.str();
}

// A test bench entity without ports and the head of its architecture, up to
// the declarations of the expected words.
std::string benchOpening(const char* bench, const std::string& typeName, const std::vector<std::uint32_t>& words,
                         std::size_t depth, int width)
{
    std::ostringstream text;
    text << kContext << "entity " << bench << " is\nend " << bench << ";\n\n"
         << "architecture check of " << bench << " is\n"
         << expectedWords(typeName, words, depth, width);
    return text.str();
}

}  // namespace

std::string VhdlBench::romEntity()
{
    return std::string(kContext) +
           "entity instr_rom is\n"
           "    port (iA : in integer range 0 to 511;\n"
           "          oQ : out std_logic_vector(14 downto 0));\n"
           "end instr_rom;\n";
}

std::string VhdlBench::romTestBench(const std::vector<std::uint32_t>& expected)
{
    std::ostringstream text;
    text << benchOpening(kRomBenchName, "rom_words", expected, kRomDepth, kCodeBits)
         << "    signal address : integer range 0 to 511 := 0;\n"
            "    signal word : std_logic_vector(14 downto 0);\n"
            "begin\n"
            "    rom : entity work.instr_rom port map (iA => address, oQ => word);\n\n"
         << compareLoop("            address <= i;\n            wait for 1 ns;\n", "word", kRomDepth)
         << "end check;\n";
    return text.str();
}

std::string VhdlBench::memoryTestBench(const std::vector<std::string>& dataLines,
                                       const std::vector<std::uint32_t>& expected)
{
    const std::size_t depth = expected.empty() ? 1 : expected.size();
    std::ostringstream text;
    text << benchOpening(kMemoryBenchName, "memory_t", expected, depth, kDataBits)
         << "    signal sMEM : memory_t := (others => (others => 'U'));\n"
            "begin\n"
            "    load : process\n"
            "    begin\n";
    for (const std::string& line : dataLines) {
        text << "        " << line << "\n";
    }
    text << "        wait;\n"
            "    end process;\n\n"
         << compareLoop("", "sMEM(i)", depth) << "end check;\n";
    return text.str();
}

std::string VhdlBench::passLine(std::size_t words)
{
    return "CHECKED " + std::to_string(words) + " WORDS, 0 MISMATCHES";
}

std::vector<std::string> VhdlBench::splitArchitectures(const std::string& romText)
{
    std::vector<std::string> blocks;
    std::size_t begin = 0;
    while (begin < romText.size()) {
        const std::size_t end = romText.find(kBlockEnd, begin);
        const std::size_t next = end == std::string::npos ? romText.size() : end + std::string(kBlockEnd).size();
        blocks.push_back(romText.substr(begin, next - begin));
        begin = next;
    }
    return blocks;
}

std::vector<std::string> VhdlBench::splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string VhdlBench::bits(std::uint32_t value, int width)
{
    std::string text;
    for (int bit = width - 1; bit >= 0; --bit) {
        text += ((value >> bit) & 1U) != 0 ? '1' : '0';
    }
    return text;
}

}  // namespace vhdltest
