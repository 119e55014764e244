#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunResult;
using testsupport::ScopedTempDir;
using testsupport::writeFile;

// Runs the program, preprocessor included, in the current directory.
RunResult runAssembler(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), testsupport::assemblerBinary());
    return testsupport::runProcess(arguments);
}

std::string syntaxError(const std::string& file, int line)
{
    return "Error in \"" + file + "\", line " + std::to_string(line) + ": error #1304: Syntax error.\n\n";
}

TEST(PreprocessedSource, ReportsEveryBadLineWithItsFileAndWritesNothing)
{
    ScopedTempDir dir;
    writeFile("prog.s", ".text\nmov r1, r2\nmov r1\n#include \"inc.s\"\njmp\nmov r3, r4\n");
    writeFile("inc.s", "mov r3, r4\n  add   r1   /* one */\n");
    const auto result = runAssembler({"prog.s"});
    EXPECT_EQ(result.output, syntaxError("prog.s", 3) + syntaxError("inc.s", 2) + syntaxError("prog.s", 5));
    EXPECT_EQ(result.status, 1);
    // Each is placed in its file as written, blanks and comments included.
    EXPECT_EQ(result.errors,
              "prog.s:3:7: error: missing operand: 'mov' takes two registers: mov Rd, Ra\n"
              "    mov r1\n"
              "          ^\n"
              "inc.s:2:11: error: missing operand: 'add' takes three registers: add Rd, Ra, Rb\n"
              "      add   r1   /* one */\n"
              "              ^\n"
              "prog.s:5:4: error: missing operand: 'jmp' takes a jump target (a label or a word address): jmp target\n"
              "    jmp\n"
              "       ^\n");
    EXPECT_FALSE(fs::exists("prog.o.txt"));
    EXPECT_FALSE(fs::exists("prog.o.dat"));
}

TEST(PreprocessedSource, TracesMarkersLabelsRulesAndExpressions)
{
    ScopedTempDir dir;
    writeFile("prog.s",
              "#define TARGET loop\n"
              ".text\n"
              "loop: MOV r1, R2\n"
              "  jmp TARGET\n"
              ".data\n"
              "  0x10, 3 * 2\n");
    const auto result = runAssembler({"-debug-dump", "prog.s"});
    EXPECT_EQ(result.status, 0);
    for (const char* trace : {"Preprocessor string flag is: prog.s\nPREPROCESSOR \n",
                              "PREPROCESSOR \n.directive \n\nLABEL: loop\nLABEL: \nmov reg, reg\n",
                              "Expression is loop + 0\njmp exp\n.directive \nExpression is 16\nExpression is 6\n"}) {
        EXPECT_NE(result.output.find(trace), std::string::npos) << trace;
    }
}

}  // namespace
