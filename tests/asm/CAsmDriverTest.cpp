#include <gtest/gtest.h>

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
#include "util/CDiagnosticMsgHandler.h"

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

TEST(Driver, FailedWriteLeavesThePreviousFileUntouched)
{
    ScopedTempDir temp;
    writeFile("old.txt", "previous good output\n");
    CFileBuffer buffer("new");
    EXPECT_FALSE(buffer.writeToFile("missing-dir/old.txt"));
    EXPECT_TRUE(buffer.writeToFile("old.txt"));
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
    ASSERT_TRUE(buffer.loadFromFile("bytes.bin"));
    EXPECT_EQ(buffer.text(), bytes);
    EXPECT_EQ(buffer.m_pos, 0u);
    EXPECT_FALSE(buffer.loadFromFile("absent.bin"));
}

}  // namespace
