#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "emitter/CMemoryImages.h"
#include "support/TestSupport.h"

using testsupport::readFile;
using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;
using Strings = std::vector<std::string>;

namespace {

// A program with one value that does not fit, and the warning it gets.
struct WarningCase {
    const char* name;
    std::string source;
    const char* warning;  // standard error, exactly
};

void PrintTo(const WarningCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string manyLines(const std::string& head, const std::string& line, int count)
{
    std::string text = head;
    for (int i = 0; i < count; ++i) {
        text += line;
    }
    return text;
}

struct Assembled {
    testsupport::RunResult result;
    std::string code;
    std::string data;
};

Assembled assemble(const Strings& options)
{
    Strings argv = {testsupport::assemblerBinary()};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back("prog.s");
    Assembled run{runProcess(argv), readFile("prog.o.txt"), readFile("prog.o.dat")};
    return run;
}

class ValueThatDoesNotFit : public testing::TestWithParam<WarningCase> {};

// Each warning goes to standard error alone: standard output, status and
// files are what they were without it. -w silences it; --fatal-warnings
// ends the run with status 1 before any file is written.
TEST_P(ValueThatDoesNotFit, IsWarnedOfAndChangesNothingElse)
{
    const WarningCase& c = GetParam();
    ScopedTempDir temp;
    writeFile("prog.s", c.source);
    const Assembled warned = assemble({});
    EXPECT_EQ(warned.result.status, 0);
    EXPECT_EQ(warned.result.output, "");
    EXPECT_EQ(warned.result.errors, c.warning);

    const Assembled quiet = assemble({"-w"});
    EXPECT_EQ(quiet.result.status, 0);
    EXPECT_EQ(quiet.result.errors, "");
    EXPECT_EQ(quiet.code, warned.code);
    EXPECT_EQ(quiet.data, warned.data);

    std::remove("prog.o.txt");
    std::remove("prog.o.dat");
    const Assembled fatal = assemble({"--fatal-warnings"});
    EXPECT_EQ(fatal.result.status, 1);
    EXPECT_EQ(fatal.result.output, "");
    EXPECT_EQ(fatal.result.errors,
              std::string(c.warning) + "rozedov: error: warnings are fatal (--fatal-warnings): no file was written\n");
    EXPECT_FALSE(std::filesystem::exists("prog.o.txt"));
    EXPECT_FALSE(std::filesystem::exists("prog.o.dat"));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ValueThatDoesNotFit,
    testing::Values(
        WarningCase{"dataWordTooLarge", ".data\nvalue: 70000\n",
                    "prog.s:2:8: warning: data word 70000 does not fit 16 bits (-32768 to 65535); x\"1170\" is "
                    "stored\n    value: 70000\n           ^~~~~\n"},
        // Columns count in the line as written: a comment the preprocessor
        // removed and a tab stay in front of the word, the caret keeps the tab.
        WarningCase{"dataWordAfterCommentAndTab", ".data\n/* note */\tvalue: 70000\n",
                    "prog.s:2:19: warning: data word 70000 does not fit 16 bits (-32768 to 65535); x\"1170\" is "
                    "stored\n    /* note */\tvalue: 70000\n              \t       ^~~~~\n"},
        // A value a macro gave: the macro's use is marked, the expansion noted.
        WarningCase{"dataWordFromAMacro", ".data\n#define BIG 70000\nBIG\n",
                    "prog.s:3:1: warning: data word 70000 does not fit 16 bits (-32768 to 65535); x\"1170\" is "
                    "stored\n    BIG\n    ^~~\nprog.s:3: note: after macro expansion the line reads: 70000\n"},
        WarningCase{"dataWordTooSmall", ".data\n-32769\n",
                    "prog.s:2:1: warning: data word -32769 does not fit 16 bits (-32768 to 65535); x\"7fff\" is "
                    "stored\n    -32769\n    ^~~~~~\n"},
        WarningCase{"divisionByZero", ".data\n1/0\n",
                    "prog.s:2:1: warning: this data word is no number (a division by zero?); x\"0000\" is stored\n"
                    "    1/0\n    ^~~\n"},
        WarningCase{"jumpBeyondTheRom", ".text\njmp 600\n",
                    "prog.s:2:5: warning: jump target 600 does not fit 9 bits (words 0 to 511); word 88 is "
                    "encoded\n    jmp 600\n        ^~~\n"},
        WarningCase{"oddByteTarget", ".text\nt: jmp t+1\n",
                    "prog.s:2:8: warning: jump target is byte 1, inside word 0: addends count bytes, two per word; "
                    "word 0 is encoded\n    t: jmp t+1\n           ^\n"},
        WarningCase{"jumpIntoData", ".text\njmp value\n.data\nvalue: 1\n",
                    "prog.s:2:5: warning: jump to 'value', a label of a data section\n    jmp value\n        ^~~~~\n"},
        WarningCase{"jumpIntoAnotherCodeSection", ".text\njmp far\n.text\nfar: jmp far\n",
                    "prog.s:2:5: warning: jump to 'far', a label of another code section (each has its own ROM "
                    "block)\n    jmp far\n        ^~~\n"
                    "prog.s:4:6: warning: a second code section: its ROM block gives words 0 to 0 again, and a "
                    "design can keep only one of the blocks\n    far: jmp far\n         ^\n"},
        WarningCase{"labelDefinedTwice", ".text\nstart: mov r1, r2\nstart: mov r2, r1\n",
                    "prog.s:3:1: warning: label 'start' is defined again; this definition is ignored\n"
                    "    start: mov r2, r1\n    ^~~~~\n"
                    "prog.s:2:1: note: the first definition, which stays in force, is here\n"
                    "    start: mov r1, r2\n    ^~~~~\n"},
        WarningCase{"dataWordsAssignedTwice", ".data\n1\n2\n.data\n3\n",
                    "prog.s:5:1: warning: a second data section: it assigns sMEM(0) again, after the earlier "
                    "section; the later value wins\n    3\n    ^\n"},
        WarningCase{"codeBeyondTheRom", manyLines(".text\n", "mov r1, r2\n", 513),
                    "prog.s:514:1: warning: the code reaches word 512, beyond the ROM's 512 words (0 to 511): this "
                    "and every later word do not fit\n    mov r1, r2\n    ^\n"},
        WarningCase{"dataBeyondTheMemory", manyLines(".data\n", "7\n", 514),
                    "prog.s:514:1: warning: data word 512 lies beyond the data memory's 512 words (0 to 511), as "
                    "does every later one\n    7\n    ^\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A flood of warnings is cut short: the first hundred, then their count.
TEST(ManyWarnings, AreCountedAfterTheFirstHundred)
{
    ScopedTempDir temp;
    writeFile("prog.s", manyLines(".text\nt: mov r1, r2\n", "jmp t+1\n", 150));
    const Assembled run = assemble({});
    EXPECT_EQ(run.result.status, 0);
    std::size_t shown = 0;
    for (std::size_t at = run.result.errors.find(": warning: "); at != std::string::npos;
         at = run.result.errors.find(": warning: ", at + 1)) {
        ++shown;
    }
    EXPECT_EQ(shown, 100u);
    EXPECT_NE(run.result.errors.find("rozedov: note: 50 more warnings not shown\n"), std::string::npos);
}

// Values at the edges fit and get no warning.
TEST(ValuesThatFit, AreNotWarnedOf)
{
    ScopedTempDir temp;
    writeFile("prog.s", manyLines(".text\nt: jmp 511\njmp t+2\n", "mov r1, r2\n", 510) + ".data\n-32768\n65535\n");
    const Assembled run = assemble({});
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.errors, "");
}

// The long options end the run themselves, with status 0; the short
// spellings keep their output and status.
TEST(LongOptions, HelpAndVersionEndWithStatusZero)
{
    ScopedTempDir temp;
    const testsupport::RunResult version = runProcess({testsupport::assemblerBinary(), "--version", "prog.s"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "rozedov 1.0.0 - Vorn cross-assembler\n------------------------------------\n\n");
    const testsupport::RunResult help = runProcess({testsupport::assemblerBinary(), "--help"});
    EXPECT_EQ(help.status, 0);
    const testsupport::RunResult shortHelp = runProcess({testsupport::assemblerBinary(), "-h"});
    EXPECT_EQ(shortHelp.status, 1);
    EXPECT_EQ(help.output.substr(0, shortHelp.output.size() - std::string("Error: No input files.\n").size()),
              shortHelp.output.substr(0, shortHelp.output.size() - std::string("Error: No input files.\n").size()));
    EXPECT_NE(help.output.find("--fatal-warnings"), std::string::npos);
    // The --format line names every image format, in the table's order.
    std::string formats;
    for (const CImageFormat& format : imageFormats()) {
        formats += (formats.empty() ? "" : ", ") + std::string(format.name);
    }
    EXPECT_NE(help.output.find("memory images: " + formats + ".\n"), std::string::npos) << help.output;
}

}  // namespace
