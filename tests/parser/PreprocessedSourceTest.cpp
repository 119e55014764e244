#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::runAssembler;
using testsupport::ScopedTempDir;
using testsupport::writeFile;

std::string syntaxError(const std::string& file, int line)
{
    return "Error in \"" + file + "\", line " + std::to_string(line) + ": error #1304: Syntax error.\n\n";
}

TEST(PreprocessedSource, ReportsEveryBadLineWithItsFileAndWritesNothing)
{
    ScopedTempDir dir;
    writeFile("prog.s", ".text\nmov r1, r2\nmov r1\n#include \"inc.s\"\njmp\nmov r3, r4\n");
    writeFile("inc.s", "mov r3, r4\nadd r1\n");
    const auto result = runAssembler({"prog.s"});
    EXPECT_EQ(result.output, syntaxError("prog.s", 3) + syntaxError("inc.s", 2) + syntaxError("prog.s", 5));
    EXPECT_EQ(result.status, 1);
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
