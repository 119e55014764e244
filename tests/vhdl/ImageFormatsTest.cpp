// Every memory-image format, read back by the tool that consumes it (GHDL,
// Icarus Verilog, srec_cat) or parsed from its definition, must hold the
// words the sections hold: for the examples and for generated programs
// whose words were encoded independently of the assembler.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "vhdl/AssembledImage.h"
#include "vhdl/GhdlSimulator.h"
#include "vhdl/ProgramGenerator.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;
using vhdltest::AssembledImage;
using Words = std::vector<std::uint32_t>;

namespace {

constexpr std::size_t kWords = 512;
constexpr const char* kAllFormats = "--format=vhdl,mif,coe,hex,memh,memb,bin";

// The memory as the hardware sees it: later sections over earlier ones.
Words memoryOf(const std::vector<AssembledImage::Section>& sections)
{
    Words memory(kWords, 0);
    for (const AssembledImage::Section& section : sections) {
        for (std::size_t k = 0; k < section.words.size() && k < kWords; ++k) {
            memory[k] = section.words[k];
        }
    }
    return memory;
}

struct Images {
    Words code;
    Words data;
};

bool have(const char* program)
{
    return fs::exists(std::string("/usr/bin/") + program);
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// ---------------------------------------------------------------------------
// The readers, one per format.

// GHDL analyses each file alone (as VHDL-93), then runs a bench that reads
// every ROM address and every word of DATA_INIT.
Images readVhdl()
{
    writeFile("bench.vhd", R"(library ieee;
use ieee.std_logic_1164.all;
use work.vorn_data.all;
entity bench is
end bench;
architecture sim of bench is
    signal iA : integer range 0 to 511 := 0;
    signal oQ : std_logic_vector(14 downto 0);
    function bits(v : std_logic_vector) return string is
        variable s : string(1 to v'length);
        variable k : integer := 1;
    begin
        for i in v'range loop
            if v(i) = '1' then s(k) := '1'; else s(k) := '0'; end if;
            k := k + 1;
        end loop;
        return s;
    end function;
begin
    rom : entity work.instr_rom port map (iA => iA, oQ => oQ);
    process
    begin
        for i in 0 to 511 loop
            iA <= i;
            wait for 1 ns;
            report "C " & bits(oQ);
            report "D " & bits(DATA_INIT(i));
        end loop;
        wait;
    end process;
end sim;
)");
    for (const char* file : {"image.code.vhd", "image.data.vhd"}) {
        const testsupport::RunResult alone = runProcess({"/usr/bin/ghdl", "-a", "--std=93", "--workdir=.", file});
        EXPECT_EQ(alone.status, 0) << file << ": " << alone.output << alone.errors;
    }
    const testsupport::RunResult run = runProcess(
        {"/usr/bin/ghdl", "-c", "--std=93", "image.code.vhd", "image.data.vhd", "bench.vhd", "-r", "bench"});
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    Images images;
    for (const std::string& line : linesOf(run.output + run.errors)) {
        const std::size_t at = line.find("(report note): ");
        if (at == std::string::npos) {
            continue;
        }
        const std::string report = line.substr(at + 15);
        (report[0] == 'C' ? images.code : images.data).push_back(std::stoul(report.substr(2), nullptr, 2));
    }
    return images;
}

// Icarus Verilog loads both files with $readmemh or $readmemb into memories
// of the hardware's widths and prints every word.
Images readWithVerilog(const std::string& extension, const std::string& task)
{
    writeFile("load.v", "module load;\n"
                        "  reg [14:0] rom [0:511];\n"
                        "  reg [15:0] mem [0:511];\n"
                        "  integer i;\n"
                        "  initial begin\n"
                        "    " + task + "(\"image.code." + extension + "\", rom);\n"
                        "    " + task + "(\"image.data." + extension + "\", mem);\n"
                        "    for (i = 0; i < 512; i = i + 1) $display(\"%0d %0d\", rom[i], mem[i]);\n"
                        "    $finish;\n"
                        "  end\n"
                        "endmodule\n");
    EXPECT_EQ(runProcess({"/usr/bin/iverilog", "-o", "load.vvp", "load.v"}).status, 0);
    const testsupport::RunResult run = runProcess({"/usr/bin/vvp", "-n", "load.vvp"});
    EXPECT_EQ(run.status, 0) << run.errors;
    Images images;
    for (const std::string& line : linesOf(run.output)) {
        std::istringstream words(line);
        std::uint32_t code = 0;
        std::uint32_t data = 0;
        if (words >> code >> data) {
            images.code.push_back(code);
            images.data.push_back(data);
        }
    }
    return images;
}

// srec_cat reads the MIF and writes the memory as bytes: two per word of
// 15 or 16 bits, the low byte first.
Words readMifWithSrecord(const std::string& file)
{
    const testsupport::RunResult run =
        runProcess({"/usr/bin/srec_cat", file, "-Memory_Initialization_File", "-o", "mif.bin", "-Binary"});
    EXPECT_EQ(run.status, 0) << run.errors;
    const std::string bytes = readFile("mif.bin");
    Words words(kWords, 0);
    for (std::size_t k = 0; k < kWords && 2 * k + 1 < bytes.size(); ++k) {
        words[k] = static_cast<std::uint8_t>(bytes[2 * k]) | (static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[2 * k + 1])) << 8);
    }
    return words;
}

// Intel HEX parsed from the format's definition: ":" count, address, type,
// data, checksum (all the record's bytes sum to 0 modulo 256); the address
// is the word address.
Words readHex(const std::string& file)
{
    Words words(kWords, 0);
    bool ended = false;
    for (const std::string& line : linesOf(readFile(file))) {
        EXPECT_FALSE(ended) << "a record after the end-of-file record";
        EXPECT_EQ(line[0], ':');
        std::vector<unsigned> bytes;
        for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
            bytes.push_back(static_cast<unsigned>(std::stoul(line.substr(i, 2), nullptr, 16)));
        }
        unsigned sum = 0;
        for (unsigned byte : bytes) {
            sum += byte;
        }
        EXPECT_EQ(sum % 256, 0u) << "checksum of " << line;
        EXPECT_EQ(bytes.size(), bytes[0] + 5u) << line;
        if (bytes[3] == 1) {
            ended = true;
            continue;
        }
        EXPECT_EQ(bytes[3], 0u) << line;
        EXPECT_EQ(bytes[0], 2u) << line;
        const unsigned address = (bytes[1] << 8) | bytes[2];
        if (address < kWords) {
            words[address] = (bytes[4] << 8) | bytes[5];
        }
    }
    EXPECT_TRUE(ended);
    return words;
}

// The COE vector: binary words separated by commas, ending with ";".
Words readCoe(const std::string& file)
{
    const std::string text = readFile(file);
    EXPECT_EQ(text.rfind("memory_initialization_radix=2;\nmemory_initialization_vector=\n", 0), 0u);
    Words words;
    for (std::string line : linesOf(text.substr(text.find("vector=\n") + 8))) {
        words.push_back(std::stoul(line.substr(0, line.size() - 1), nullptr, 2));
    }
    EXPECT_EQ(text.back() == '\n' && text[text.size() - 2] == ';', true);
    return words;
}

Words readBin(const std::string& file)
{
    const std::string bytes = readFile(file);
    EXPECT_EQ(bytes.size(), 2 * kWords);
    Words words;
    for (std::size_t k = 0; 2 * k + 1 < bytes.size(); ++k) {
        words.push_back((static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[2 * k])) << 8) |
                        static_cast<std::uint8_t>(bytes[2 * k + 1]));
    }
    return words;
}

// ---------------------------------------------------------------------------

struct ProgramCase {
    std::string name;
    std::string source;
    // Words encoded independently; empty: the assembler's own sections are the reference.
    std::vector<AssembledImage::Section> expected;
};

std::vector<ProgramCase> programCases()
{
    std::vector<ProgramCase> cases;
    for (const char* example : {"count", "memcopy", "table", "blink"}) {
        cases.push_back({example, std::string("examples/") + example + ".s", {}});
    }
    struct Generated {
        const char* name;
        std::uint32_t seed;
        std::vector<std::pair<char, int>> sections;
    };
    const Generated generated[] = {
        {"generated_code_and_data", 11, {{'t', 120}, {'d', 40}}},
        {"generated_two_code_sections", 12, {{'t', 60}, {'d', 10}, {'t', 80}}},
        {"generated_full_memories", 13, {{'t', 512}, {'d', 512}}},
    };
    for (const Generated& g : generated) {
        vhdltest::ProgramGenerator generator(g.seed);
        for (const auto& [type, words] : g.sections) {
            type == 't' ? generator.code(words) : generator.data(words);
        }
        const vhdltest::GeneratedProgram program = generator.build(g.name);
        cases.push_back({g.name, program.source, program.sections});
    }
    return cases;
}

void PrintTo(const ProgramCase& c, std::ostream* os)
{
    *os << c.name;
}

class ImageFormats : public testing::TestWithParam<ProgramCase> {
protected:
    void SetUp() override
    {
        const ProgramCase& c = GetParam();
        std::string source = (testsupport::sourceDir() / c.source).string();
        if (!c.expected.empty()) {
            writeFile("generated.s", c.source);
            source = "generated.s";
        }
        const AssembledImage image = AssembledImage::assemble(source, {kAllFormats});
        ASSERT_EQ(image.run.status, 0) << image.run.output;
        const auto& sections = c.expected.empty() ? image.sections : c.expected;
        m_code = memoryOf(AssembledImage::romSections(sections));
        m_data = memoryOf(AssembledImage::dataSections(sections));
    }

    ScopedTempDir m_directory;
    Words m_code;
    Words m_data;
};

TEST_P(ImageFormats, VhdlIsReadByGhdl)
{
    if (!have("ghdl")) {
        GTEST_SKIP() << "ghdl not found; install it with: apt-get install ghdl";
    }
    const Images images = readVhdl();
    EXPECT_EQ(images.code, m_code);
    EXPECT_EQ(images.data, m_data);
}

TEST_P(ImageFormats, MemhAndMembAreReadByIcarusVerilog)
{
    if (!have("iverilog") || !have("vvp")) {
        GTEST_SKIP() << "iverilog not found; install it with: apt-get install iverilog";
    }
    for (const auto& [extension, task] : {std::pair{"memh", "$readmemh"}, std::pair{"memb", "$readmemb"}}) {
        const Images images = readWithVerilog(extension, task);
        EXPECT_EQ(images.code, m_code) << extension;
        EXPECT_EQ(images.data, m_data) << extension;
    }
}

TEST_P(ImageFormats, MifIsReadBySrecord)
{
    if (!have("srec_cat")) {
        GTEST_SKIP() << "srec_cat not found; install it with: apt-get install srecord";
    }
    EXPECT_EQ(readMifWithSrecord("image.code.mif"), m_code);
    EXPECT_EQ(readMifWithSrecord("image.data.mif"), m_data);
}

TEST_P(ImageFormats, HexCoeAndBinHoldEveryWord)
{
    EXPECT_EQ(readHex("image.code.hex"), m_code);
    EXPECT_EQ(readHex("image.data.hex"), m_data);
    EXPECT_EQ(readCoe("image.code.coe"), m_code);
    EXPECT_EQ(readCoe("image.data.coe"), m_data);
    EXPECT_EQ(readBin("image.code.bin"), m_code);
    EXPECT_EQ(readBin("image.data.bin"), m_data);
}

INSTANTIATE_TEST_SUITE_P(Programs, ImageFormats, testing::ValuesIn(programCases()),
                         [](const auto& info) { return info.param.name; });

// With --depfile, make sees every included file as a prerequisite of every output.
TEST(DependencyFile, TouchingAnIncludedFileMakesTheOutputsOutOfDate)
{
    if (!have("make")) {
        GTEST_SKIP() << "make not found; install it with: apt-get install make";
    }
    ScopedTempDir temp;
    writeFile("defs.inc", "#define LIMIT 10\n");
    writeFile("prog.s", "#include \"defs.inc\"\n.text\nmov r1, r2\n.data\nLIMIT\n");
    writeFile("Makefile", "prog.o.txt: prog.s\n\t" + testsupport::assemblerBinary() +
                              " --depfile=prog.d --format=hex prog.s\n-include prog.d\n");
    ASSERT_EQ(runProcess({"/usr/bin/make", "-s"}).status, 0);
    const std::string rule = readFile("prog.d");
    EXPECT_EQ(rule.rfind("prog.o.txt prog.o.dat prog.o.code.hex prog.o.data.hex: prog.s", 0), 0u) << rule;
    // Only the user's files: none of the system's headers.
    EXPECT_NE(rule.find("defs.inc"), std::string::npos) << rule;
    EXPECT_EQ(rule.find("/usr/"), std::string::npos) << rule;
    EXPECT_EQ(runProcess({"/usr/bin/make", "-q", "prog.o.txt"}).status, 0);
    // Later than the outputs by a clear margin, whatever the file system's clock grain.
    fs::last_write_time("defs.inc", fs::last_write_time("prog.o.txt") + std::chrono::seconds(2));
    EXPECT_EQ(runProcess({"/usr/bin/make", "-q", "prog.o.txt"}).status, 1);
}

}  // namespace
