#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/CFileReader.h"
#include "driver/COutputFiles.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;

namespace {

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

TEST(OutputFiles, FailedSetLeavesThePreviousFileUntouched)
{
    ScopedTempDir temp;
    writeFile("old.txt", "previous good output\n");
    {
        COutputFiles files;
        files.add("old.txt", "new");
        files.add("missing-dir/old.txt", "new");
        const std::vector<COutputFiles::Failure> failures = files.write();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].path, "missing-dir/old.txt");
        EXPECT_EQ(failures[0].reason, "No such file or directory");
    }
    EXPECT_EQ(readFile("old.txt"), "previous good output\n");
    COutputFiles files;
    files.add("old.txt", "new");
    EXPECT_TRUE(files.write().empty());
    EXPECT_EQ(readFile("old.txt"), "new");
    // No temporary files are left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(".")) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(FileReader, ReadsBytesVerbatim)
{
    ScopedTempDir temp;
    const std::string bytes("a\0b\r\n\xff", 6);
    writeFile("bytes.bin", bytes);
    std::string content = "before";
    std::error_code error;
    ASSERT_TRUE(CFileReader::read("bytes.bin", content, error));
    EXPECT_EQ(content, bytes);
    EXPECT_FALSE(CFileReader::read("absent.bin", content, error));
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    // Kinds that are no regular file are refused without waiting on them.
    ASSERT_EQ(::mkfifo("pipe", 0600), 0);
    EXPECT_FALSE(CFileReader::read("pipe", content, error));
    EXPECT_FALSE(CFileReader::read(".", content, error));
    EXPECT_EQ(content, bytes);
}

}  // namespace
