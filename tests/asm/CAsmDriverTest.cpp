#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "asm/CAsmOptions.h"
#include "asm/CAsmPreprocessor.h"
#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CFileIndexMap.h"
#include "asm/CRozeDov.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbolTable.h"
#include "emitter/CEmitter.h"
#include "emitter/COpcodeGenerator.h"
#include "lexer/CPlatformDesc.h"
#include "parser/CAsmParser.h"
#include "support/TestSupport.h"
#include "asm/CDiagnosticMsgHandler.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;

namespace {

TEST(Driver, InitCreatesAndWiresEveryModule)
{
    std::vector<std::string> storage = {"rozedov", "-l", "prog.s"};
    std::vector<char*> argv;
    for (std::string& s : storage) {
        argv.push_back(s.data());
    }
    CRozeDov driver(3, argv.data());
    const auto result = testsupport::captureRun([&] { driver.init(nullptr); });
    ASSERT_EQ(result.status, 0);
    CCommonModules* common = driver.m_common;
    ASSERT_NE(common, nullptr);
    EXPECT_EQ(common->m_common, common);
    EXPECT_EQ(common->m_argc, 3);
    const CProgramModule* modules[] = {
        common->m_options.get(),       common->m_diagnostics.get(),   common->m_symbols.get(),
        common->m_sections.get(),      common->m_fileIndexMap.get(),  common->m_platformDesc.get(),
        common->m_opcodeGenerator.get(), driver.m_preprocessor.get(), driver.m_parser.get(),
        driver.m_romEmitter.get(),     driver.m_lstEmitter.get(),
    };
    for (const CProgramModule* module : modules) {
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(module->m_common, common);
    }
    EXPECT_NE(driver.m_outBuffer, nullptr);
    EXPECT_EQ(driver.m_romEmitter->m_codeBuffer, driver.m_outBuffer.get());
    EXPECT_TRUE(common->m_options->m_listing);
    EXPECT_EQ(common->m_options->m_listingName, "prog.lst");
}

TEST(Driver, NoArgumentsPrintBannerHelpAndError)
{
    const auto result = runProcess({testsupport::assemblerBinary()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.substr(0, 37), "rozedov 1.0.0 - Vorn cross-assembler\n");
    EXPECT_NE(result.output.find("   -D<symbol<=value>>  - Define a symbol.\nError: No input files.\n"),
              std::string::npos);
}

TEST(Driver, RunLeavesTheIntermediateFileAndEmptyOutputs)
{
    ScopedTempDir temp;
    writeFile("empty.s", "// nothing yet\n");
    const auto result = runProcess({testsupport::assemblerBinary(), "empty.s"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(fs::exists("a.ppf"));
    EXPECT_EQ(readFile("empty.o.txt"), "");
    EXPECT_EQ(readFile("empty.o.dat"), "");
    EXPECT_FALSE(fs::exists("empty.lst"));
}

// A program large enough that its buffers come from memory readied in the
// background while cc1 runs: every word lands where it belongs.
TEST(Driver, LargeProgramKeepsEveryWord)
{
    ScopedTempDir temp;
    constexpr int kInstructions = 120000;
    constexpr int kWords = 20000;
    std::string source = ".text\n";
    for (int i = 0; i < kInstructions; ++i) {
        source += i == kInstructions / 2 ? "middle: " : "";
        source += i % 2 == 0 ? "mov r1, r2\n" : "add r3, r4, r5\n";
    }
    source += "jmp middle + 2\n.data\n";
    for (int i = 0; i < kWords; ++i) {
        source += std::to_string(i) + "\n";
    }
    writeFile("big.s", source);
    const auto result = runProcess({testsupport::assemblerBinary(), "big.s"});
    ASSERT_EQ(result.status, 0) << result.output;

    const std::string rom = readFile("big.o.txt");
    auto romWord = [](const std::string& bits, int address) {
        return "\"" + bits + "\"  when iA = " + std::to_string(address) + " else\n";
    };
    EXPECT_NE(rom.find(romWord("000000001010000", 0)), std::string::npos);
    EXPECT_NE(rom.find(romWord("000001011100101", kInstructions / 2 + 1)), std::string::npos);
    EXPECT_NE(rom.find(romWord("000001011100101", kInstructions - 1)), std::string::npos);
    // middle + 2 bytes is word 60001, of which the jump keeps the low nine bits.
    const std::string target = "010000" + std::string("001100001");
    EXPECT_NE(rom.find(romWord(target, kInstructions)), std::string::npos);
    EXPECT_EQ(rom.find("when iA = " + std::to_string(kInstructions + 1) + " "), std::string::npos);

    const std::string data = readFile("big.o.dat");
    EXPECT_NE(data.find("sMEM(0) <= x\"0000\";\n"), std::string::npos);
    EXPECT_NE(data.find("sMEM(19999) <= x\"4e1f\";\n"), std::string::npos);
    EXPECT_EQ(data.find("sMEM(20000)"), std::string::npos);
}

TEST(Driver, FailedWriteLeavesThePreviousFileUntouched)
{
    ScopedTempDir temp;
    writeFile("old.txt", "previous good output\n");
    CFileBuffer buffer("new");
    std::error_code error;
    EXPECT_FALSE(buffer.writeToFile("missing-dir/old.txt", error));
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    EXPECT_TRUE(buffer.writeToFile("old.txt", error));
    EXPECT_EQ(readFile("old.txt"), "new");
    // No temporary files are left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(".")) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(FileBuffer, LoadsBytesVerbatim)
{
    ScopedTempDir temp;
    const std::string bytes("a\0b\r\n\xff", 6);
    writeFile("bytes.bin", bytes);
    CFileBuffer buffer;
    buffer.m_pos = 3;
    std::error_code error;
    ASSERT_TRUE(buffer.loadFromFile("bytes.bin", error));
    EXPECT_EQ(buffer.text(), bytes);
    EXPECT_EQ(buffer.m_pos, 0u);
    EXPECT_FALSE(buffer.loadFromFile("absent.bin", error));
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    // Kinds that are no regular file are refused without waiting on them.
    ASSERT_EQ(::mkfifo("pipe", 0600), 0);
    EXPECT_FALSE(buffer.loadFromFile("pipe", error));
    EXPECT_FALSE(buffer.loadFromFile(".", error));
    EXPECT_EQ(buffer.text(), bytes);
}

}  // namespace
