// The ROM and data texts the assembler writes are run through a VHDL
// simulator: every ROM block drives instr_rom in a test bench that reads all
// 512 addresses, every data section's sMEM assignments load a memory that a
// test bench then reads word by word.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <numeric>
#include <optional>

#include "core/CSection.h"
#include "support/TestSupport.h"
#include "vhdl/AssembledImage.h"
#include "vhdl/GhdlSimulator.h"
#include "vhdl/ProgramGenerator.h"
#include "vhdl/VhdlBench.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScopedTempDir;
using testsupport::writeFile;
using vhdltest::AssembledImage;
using vhdltest::GhdlSimulator;
using vhdltest::VhdlBench;
using Sections = std::vector<AssembledImage::Section>;

std::string describeFirstDifference(const std::vector<std::uint32_t>& actual,
                                    const std::vector<std::uint32_t>& expected, int width)
{
    const std::size_t common = std::min(actual.size(), expected.size());
    for (std::size_t k = 0; k < common; ++k) {
        if (actual[k] != expected[k]) {
            return "word " + std::to_string(k) + ": " + VhdlBench::bits(actual[k], width) +
                   " instead of " + VhdlBench::bits(expected[k], width);
        }
    }
    return std::to_string(actual.size()) + " words instead of " + std::to_string(expected.size());
}

void expectSameWords(const Sections& actual, const Sections& expected)
{
    ASSERT_EQ(actual.size(), expected.size()) << "number of laid-out sections";
    for (std::size_t s = 0; s < expected.size(); ++s) {
        const int width = expected[s].kind == CSection::Data ? VhdlBench::kDataBits : VhdlBench::kCodeBits;
        EXPECT_EQ(actual[s].kind, expected[s].kind) << "section " << s;
        EXPECT_TRUE(actual[s].words == expected[s].words)
            << "section " << s << ": " << describeFirstDifference(actual[s].words, expected[s].words, width);
    }
}

void expectSimulationPasses(const GhdlSimulator& ghdl, const std::vector<std::string>& files,
                            const std::string& bench, std::size_t words)
{
    const testsupport::RunResult result = ghdl.simulate(files, bench);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find(VhdlBench::passLine(words)), std::string::npos) << result.output;
}

void simulateRomBlocks(const GhdlSimulator& ghdl, const std::vector<std::string>& blocks,
                       const Sections& romSections)
{
    writeFile("instr_rom.vhd", VhdlBench::romEntity());
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        SCOPED_TRACE("ROM block " + std::to_string(k));
        writeFile("rom_block.vhd", blocks[k]);
        writeFile("rom_tb.vhd", VhdlBench::romTestBench(romSections[k].words));
        expectSimulationPasses(ghdl, {"instr_rom.vhd", "rom_block.vhd", "rom_tb.vhd"},
                               VhdlBench::kRomBenchName, VhdlBench::kRomDepth);
    }
}

void simulateDataSections(const GhdlSimulator& ghdl, const std::vector<std::string>& lines,
                          const Sections& dataSections)
{
    auto next = lines.begin();
    for (std::size_t s = 0; s < dataSections.size(); ++s) {
        SCOPED_TRACE("data section " + std::to_string(s));
        const std::vector<std::uint32_t>& words = dataSections[s].words;
        const std::vector<std::string> sectionLines(next, next + static_cast<std::ptrdiff_t>(words.size()));
        next += static_cast<std::ptrdiff_t>(words.size());
        if (words.empty()) {
            continue;
        }
        writeFile("mem_tb.vhd", VhdlBench::memoryTestBench(sectionLines, words));
        expectSimulationPasses(ghdl, {"mem_tb.vhd"}, VhdlBench::kMemoryBenchName, words.size());
    }
}

// Checks the written texts against `expected`: their shape first, then, where
// ghdl is installed, by simulation.
void checkOutputs(const AssembledImage& image, const Sections& expected)
{
    const Sections romSections = AssembledImage::romSections(expected);
    const Sections dataSections = AssembledImage::dataSections(expected);

    const std::vector<std::string> blocks = VhdlBench::splitArchitectures(image.romText);
    ASSERT_EQ(blocks.size(), romSections.size()) << image.romText;

    const std::vector<std::string> lines = VhdlBench::splitLines(image.dataText);
    const std::size_t dataWords = std::accumulate(
        dataSections.begin(), dataSections.end(), std::size_t{0},
        [](std::size_t sum, const AssembledImage::Section& s) { return sum + s.words.size(); });
    ASSERT_EQ(lines.size(), dataWords) << image.dataText;

    const std::optional<std::string> program = GhdlSimulator::locate();
    if (!program) {
        GTEST_SKIP() << GhdlSimulator::kInstallHint;
    }
    const GhdlSimulator ghdl(*program);
    simulateRomBlocks(ghdl, blocks, romSections);
    simulateDataSections(ghdl, lines, dataSections);
}

std::string parameterName(std::string name)
{
    std::replace_if(name.begin(), name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
    return name;
}

// ---------------------------------------------------------------------------
// Example and hand-written programs: the simulated outputs hold the laid-out
// bytes with the fixups applied.

std::vector<std::string> programFiles()
{
    std::vector<std::string> files;
    for (const fs::path& directory : {testsupport::sourceDir() / "examples",
                                     testsupport::sourceDir() / "tests" / "vhdl" / "programs"}) {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
            // Below the checkout, so test names do not depend on where it lies.
            if (entry.path().extension() == ".s") {
                files.push_back(entry.path().lexically_relative(testsupport::sourceDir()).string());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class VhdlProgramTest : public testing::TestWithParam<std::string> {};

TEST_P(VhdlProgramTest, SimulatedOutputsHoldTheLaidOutWords)
{
    ScopedTempDir directory;
    const AssembledImage image = AssembledImage::assemble((testsupport::sourceDir() / GetParam()).string());
    ASSERT_EQ(image.run.status, 0) << image.run.output;
    checkOutputs(image, image.sections);
}

INSTANTIATE_TEST_SUITE_P(Programs, VhdlProgramTest, testing::ValuesIn(programFiles()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             const fs::path path(info.param);
                             return parameterName(path.parent_path().filename().string() + "_" +
                                                  path.stem().string());
                         });

// ---------------------------------------------------------------------------
// Generated programs: the assembler's words and the simulated outputs match
// words encoded independently from the instruction set.

struct GeneratedCase {
    const char* name;
    std::uint32_t seed;
    std::vector<std::pair<char, int>> sections;  // 't' code or 'd' data, and word count
};

const GeneratedCase kGeneratedCases[] = {
    {"code_and_data", 1, {{'t', 120}, {'d', 40}}},
    {"two_code_sections", 2, {{'t', 60}, {'d', 10}, {'t', 80}}},
    {"large_data_section", 3, {{'t', 20}, {'d', 600}}},
    {"full_rom", 4, {{'t', 512}}},
    {"two_data_sections", 5, {{'d', 5}, {'t', 12}, {'d', 7}}},
};

void PrintTo(const GeneratedCase& generated, std::ostream* out)
{
    *out << generated.name;
}

class VhdlGeneratedTest : public testing::TestWithParam<GeneratedCase> {};

TEST_P(VhdlGeneratedTest, SimulatedOutputsHoldTheIndependentlyEncodedWords)
{
    vhdltest::ProgramGenerator generator(GetParam().seed);
    for (const auto& [type, words] : GetParam().sections) {
        type == 't' ? generator.code(words) : generator.data(words);
    }
    const vhdltest::GeneratedProgram program = generator.build(GetParam().name);

    ScopedTempDir directory;
    writeFile("generated.s", program.source);
    const AssembledImage image = AssembledImage::assemble("generated.s");
    ASSERT_EQ(image.run.status, 0) << image.run.output << "\n" << program.source;
    expectSameWords(image.sections, program.sections);
    checkOutputs(image, program.sections);
}

INSTANTIATE_TEST_SUITE_P(Generated, VhdlGeneratedTest, testing::ValuesIn(kGeneratedCases),
                         [](const testing::TestParamInfo<GeneratedCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// The benches themselves: they accept the documented output formats and
// reject outputs that differ from the expected words, so a passing
// simulation means something.

constexpr const char* kRomExample =
    "architecture Behavioral of instr_rom is\n"
    "begin\n"
    "    oQ <= \"000001001010011\"  when iA = 0 else\n"
    "          \"010000000000101\"  when iA = 1 else\n"
    "          \"000000000000000\";\n"
    "end Behavioral;\n";

constexpr const char* kEmptyRom =
    "architecture Behavioral of instr_rom is\n"
    "begin\n"
    "    oQ <= \"000000000000000\";\n"
    "end Behavioral;\n";

struct BenchCase {
    const char* name;
    const char* romBlock;                   // null: a memory bench
    std::vector<std::string> dataLines;
    std::vector<std::uint32_t> expected;
    const char* expectedReport;             // what the run must print
};

const BenchCase kBenchCases[] = {
    {"rom_example_passes", kRomExample, {}, {0b000001001010011, 0b010000000000101}, "CHECKED 512 WORDS, 0 MISMATCHES"},
    {"empty_rom_passes", kEmptyRom, {}, {}, "CHECKED 512 WORDS, 0 MISMATCHES"},
    {"rom_wrong_word_fails", kRomExample, {}, {0b000001001010011, 0b010000000000100}, "MISMATCH at 1"},
    {"rom_extra_word_fails", kRomExample, {}, {0b000001001010011, 0b010000000000101, 1}, "MISMATCH at 2"},
    {"memory_example_passes", nullptr, {"sMEM(0) <= x\"1234\";", "sMEM(1) <= x\"fffe\";"}, {0x1234, 0xFFFE}, "CHECKED 2 WORDS, 0 MISMATCHES"},
    {"memory_wrong_word_fails", nullptr, {"sMEM(0) <= x\"1234\";", "sMEM(1) <= x\"fffe\";"}, {0x1234, 0xFFFF}, "MISMATCH at 1"},
    {"memory_missing_line_fails", nullptr, {"sMEM(0) <= x\"1234\";"}, {0x1234, 0xFFFE}, "MISMATCH at 1"},
};

void PrintTo(const BenchCase& bench, std::ostream* out)
{
    *out << bench.name;
}

class VhdlBenchTest : public testing::TestWithParam<BenchCase> {};

TEST_P(VhdlBenchTest, ReportsExactlyTheDifferences)
{
    const std::optional<std::string> program = GhdlSimulator::locate();
    if (!program) {
        GTEST_SKIP() << GhdlSimulator::kInstallHint;
    }
    const BenchCase& bench = GetParam();
    ScopedTempDir directory;
    std::vector<std::string> files;
    std::string top = VhdlBench::kMemoryBenchName;
    if (bench.romBlock != nullptr) {
        writeFile("instr_rom.vhd", VhdlBench::romEntity());
        writeFile("rom_block.vhd", bench.romBlock);
        writeFile("rom_tb.vhd", VhdlBench::romTestBench(bench.expected));
        files = {"instr_rom.vhd", "rom_block.vhd", "rom_tb.vhd"};
        top = VhdlBench::kRomBenchName;
    } else {
        writeFile("mem_tb.vhd", VhdlBench::memoryTestBench(bench.dataLines, bench.expected));
        files = {"mem_tb.vhd"};
    }
    const testsupport::RunResult result = GhdlSimulator(*program).simulate(files, top);
    const bool shouldPass = std::string(bench.expectedReport).rfind("CHECKED", 0) == 0;
    EXPECT_EQ(result.status == 0, shouldPass) << result.output;
    EXPECT_NE(result.output.find(bench.expectedReport), std::string::npos) << result.output;
}

INSTANTIATE_TEST_SUITE_P(Benches, VhdlBenchTest, testing::ValuesIn(kBenchCases),
                         [](const testing::TestParamInfo<BenchCase>& info) {
                             return std::string(info.param.name);
                         });

// Splitting the ROM text must keep every byte: blocks joined give the text.
TEST(VhdlBenchSplitTest, ArchitectureBlocksCoverTheWholeText)
{
    const std::string twoBlocks = std::string(kRomExample) + kEmptyRom;
    const std::vector<std::string> blocks = VhdlBench::splitArchitectures(twoBlocks);
    ASSERT_EQ(blocks.size(), 2U);
    EXPECT_EQ(blocks[0], kRomExample);
    EXPECT_EQ(blocks[1], kEmptyRom);
    EXPECT_TRUE(VhdlBench::splitArchitectures("").empty());
    EXPECT_EQ(VhdlBench::splitArchitectures("architecture cut").size(), 1U);
}

}  // namespace
