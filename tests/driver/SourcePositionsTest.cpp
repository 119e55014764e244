// The place a message gives is where the student wrote the token: the
// preprocessor collapses blanks, drops comments and expands macros, yet the
// column, the line shown and the caret are those of the file as written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;

namespace {

struct PositionCase {
    const char* name;
    std::string source;
    std::string include;  // defs.inc, when not empty
    std::string errors;   // standard error, exactly
};

void PrintTo(const PositionCase& c, std::ostream* os)
{
    *os << c.name;
}

class SourcePosition : public testing::TestWithParam<PositionCase> {};

TEST_P(SourcePosition, IsTheUsersColumnAndLine)
{
    const PositionCase& c = GetParam();
    ScopedTempDir temp;
    writeFile("prog.s", c.source);
    if (!c.include.empty()) {
        writeFile("defs.inc", c.include);
    }
    const testsupport::RunResult result = runProcess({testsupport::assemblerBinary(), "prog.s"});
    EXPECT_EQ(result.errors, c.errors);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SourcePosition,
    testing::Values(
        PositionCase{"spaceAligned", ".text\nstart:  mov   R8, R1\n", "",
                     "prog.s:2:15: error: expected a register R0 to R7, found 'R8'\n"
                     "    start:  mov   R8, R1\n"
                     "                  ^~\n"},
        PositionCase{"tabAligned", ".text\nstart:\tmov\tR1,\tR9\n", "",
                     "prog.s:2:16: error: expected a register R0 to R7, found 'R9'\n"
                     "    start:\tmov\tR1,\tR9\n"
                     "          \t   \t   \t^~\n"},
        PositionCase{"afterABlockComment", ".text\n/* first */ mov R1,   R9\n", "",
                     "prog.s:2:23: error: expected a register R0 to R7, found 'R9'\n"
                     "    /* first */ mov R1,   R9\n"
                     "                          ^~\n"},
        PositionCase{"afterACommentAcrossLines", ".text\n/* one\n   two */  add  R1, R2\n", "",
                     "prog.s:3:23: error: missing operand: 'add' takes three registers: add Rd, Ra, Rb\n"
                     "       two */  add  R1, R2\n"
                     "                          ^\n"},
        PositionCase{"beforeALineComment", ".text\n        dec   R1 ; R1 = R1 - 1\n", "",
                     "prog.s:2:17: error: missing operand: 'dec' takes two registers: dec Rd, Ra\n"
                     "            dec   R1 ; R1 = R1 - 1\n"
                     "                    ^\n"},
        PositionCase{"objectMacro", "#define TARGET R9\n.text\n    mov  R1,  TARGET\n", "",
                     "prog.s:3:15: error: expected a register R0 to R7, found 'R9'\n"
                     "        mov  R1,  TARGET\n"
                     "                  ^~~~~~\n"
                     "prog.s:3: note: after macro expansion the line reads: mov R1, R9\n"},
        PositionCase{"functionMacro",
                     "#define PUSH(r) st r, R7 __NEW_LINE__ dec R7, R8\n.text\nstart:   PUSH(R1)\n", "",
                     "prog.s:3:10: error: expected a register R0 to R7, found 'R8'\n"
                     "    start:   PUSH(R1)\n"
                     "             ^~~~~~~~\n"
                     "prog.s:3: note: after macro expansion the line reads: start: st R1, R7 __NEW_LINE__ dec "
                     "R7, R8\n"},
        PositionCase{"includedLine", ".text\n#include \"defs.inc\"\n", "  ; the table\n  jmp    R3\n",
                     "defs.inc:2:10: error: expected a jump target (a label or a word address), found the register "
                     "'R3'\n"
                     "      jmp    R3\n"
                     "             ^~\n"},
        PositionCase{"warningInASpacedLine", ".text\nloop:     jmp      600\n", "",
                     "prog.s:2:20: warning: jump target 600 does not fit 9 bits (words 0 to 511); word 88 is "
                     "encoded\n"
                     "    loop:     jmp      600\n"
                     "                       ^~~\n"},
        PositionCase{"undefinedLabel", ".text\nstart:   jmp    strat\n", "",
                     "prog.s:2:17: error: undefined label 'strat'; did you mean 'start'?\n"
                     "    start:   jmp    strat\n"
                     "                    ^~~~~\n"},
        PositionCase{"labelDefinedTwice", ".text\n  start:  mov r1, r2\n  start:  mov r2, r1\n", "",
                     "prog.s:3:3: warning: label 'start' is defined again; this definition is ignored\n"
                     "      start:  mov r2, r1\n"
                     "      ^~~~~\n"
                     "prog.s:2:3: note: the first definition, which stays in force, is here\n"
                     "      start:  mov r1, r2\n"
                     "      ^~~~~\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
