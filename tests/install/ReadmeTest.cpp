#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;

namespace {

const char* const kGhdl = "/usr/bin/ghdl";

// The README's ```vhdl blocks that are whole design units (they begin with
// the library clause).
std::vector<std::string> completeVhdlBlocks()
{
    const std::string readme = readFile(testsupport::sourceDir() / "README.md");
    std::vector<std::string> blocks;
    const std::string open = "```vhdl\n";
    for (std::size_t at = readme.find(open); at != std::string::npos; at = readme.find(open, at + 1)) {
        const std::size_t start = at + open.size();
        const std::string block = readme.substr(start, readme.find("```", start) - start);
        if (block.rfind("library ieee;", 0) == 0) {
            blocks.push_back(block);
        }
    }
    return blocks;
}

// Every complete VHDL snippet of the README analyses as pasted.
TEST(Readme, VhdlSnippetsAnalyseAsPasted)
{
    if (!fs::exists(kGhdl)) {
        GTEST_SKIP() << "ghdl not found; install it with: apt-get install ghdl";
    }
    const std::vector<std::string> blocks = completeVhdlBlocks();
    ASSERT_GE(blocks.size(), 2u);
    ScopedTempDir temp;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::string file = "snippet" + std::to_string(i) + ".vhd";
        writeFile(file, blocks[i]);
        const testsupport::RunResult result = runProcess({kGhdl, "-a", "--std=93", file});
        EXPECT_EQ(result.status, 0) << blocks[i] << result.output << result.errors;
    }
}

// The example bench runs with the three commands the README gives and
// prints the words of count.s.
TEST(Readme, ExampleBenchPrintsTheRomWords)
{
    if (!fs::exists(kGhdl)) {
        GTEST_SKIP() << "ghdl not found; install it with: apt-get install ghdl";
    }
    ScopedTempDir temp;
    for (const char* file : {"count.s", "rom_tb.vhd"}) {
        fs::copy_file(testsupport::sourceDir() / "examples" / file, file);
    }
    ASSERT_EQ(runProcess({testsupport::assemblerBinary(), "--format=vhdl", "count.s"}).status, 0);
    ASSERT_EQ(runProcess({kGhdl, "-a", "count.o.code.vhd", "rom_tb.vhd"}).status, 0);
    const testsupport::RunResult run = runProcess({kGhdl, "--elab-run", "rom_tb"});
    EXPECT_EQ(run.status, 0);
    const std::string printed = run.output + run.errors;
    EXPECT_NE(printed.find("word 0: 000010000000000"), std::string::npos) << printed;
    EXPECT_NE(printed.find("word 3: 000110001001000"), std::string::npos) << printed;
}

}  // namespace
