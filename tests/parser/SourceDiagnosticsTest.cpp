#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "util/CSpelling.h"

using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;

namespace {

// One mistake: the source, what standard output says (exactly as before
// these details existed) and what standard error adds.
struct MistakeCase {
    const char* name;
    const char* source;
    std::vector<std::string> options;
    const char* printed;
    const char* errors;
};

void PrintTo(const MistakeCase& c, std::ostream* os)
{
    *os << c.name;
}

class Mistake : public testing::TestWithParam<MistakeCase> {};

TEST_P(Mistake, IsExplainedOnStandardErrorOnly)
{
    const MistakeCase& c = GetParam();
    ScopedTempDir temp;
    writeFile("prog.s", c.source);
    std::vector<std::string> argv = {testsupport::assemblerBinary()};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.push_back("prog.s");
    const testsupport::RunResult result = runProcess(argv);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, c.printed);
    EXPECT_EQ(result.errors, c.errors);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Mistake,
    testing::Values(
        MistakeCase{"numberForRegister", ".text\n        add R2, R1, 5\n", {},
                    "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n",
                    "prog.s:2:21: error: expected a register R0 to R7, found the number '5'\n"
                    "            add R2, R1, 5\n"
                    "                        ^\n"},
        MistakeCase{"registerOutOfRange", ".text\nmov R8, R1\n", {},
                    "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n",
                    "prog.s:2:5: error: expected a register R0 to R7, found 'R8'\n"
                    "    mov R8, R1\n"
                    "        ^~\n"},
        MistakeCase{"unknownMnemonic", ".text\nloop: jmpnzz loop\n", {},
                    "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n",
                    "prog.s:2:7: error: unknown instruction 'jmpnzz'; did you mean 'jmpnz'?\n"
                    "    loop: jmpnzz loop\n"
                    "          ^~~~~~\n"},
        MistakeCase{"operandMissing", ".text\nadd R1, R2\n", {},
                    "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n",
                    "prog.s:2:11: error: missing operand: 'add' takes three registers: add Rd, Ra, Rb\n"
                    "    add R1, R2\n"
                    "              ^\n"},
        MistakeCase{"commaMissing", ".text\nst R1 R2\n", {},
                    "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n",
                    "prog.s:2:7: error: expected ',' after 'R1', found 'R2'\n"
                    "    st R1 R2\n"
                    "          ^~\n"},
        MistakeCase{"extraToken", ".text\nnot R1, R2, R3\n", {},
                    "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n",
                    "prog.s:2:11: error: unexpected ',' after the operands: 'not' takes two registers: not Rd, Ra\n"
                    "    not R1, R2, R3\n"
                    "              ^\n"},
        MistakeCase{"registerAsJumpTarget", ".text\njmpc R1\n", {},
                    "Error in \"prog.s\", line 2: error #1304: Syntax error.\n\n",
                    "prog.s:2:6: error: expected a jump target (a label or a word address), found the register 'R1'\n"
                    "    jmpc R1\n"
                    "         ^~\n"},
        MistakeCase{"instructionInData", ".data\n1\nmov R1, R2\n", {},
                    "Error in \"prog.s\", line 3: error #1304: Syntax error.\n\n",
                    "prog.s:3:1: error: expected a data word (a number, a label or an expression), found 'mov': "
                    "instructions belong in a '.text' section\n"
                    "    mov R1, R2\n"
                    "    ^~~\n"},
        MistakeCase{"strayCharacter", ".text\nmov r1, r2 @\n", {}, "Error in error #1305: Unrecognized token.\n\n",
                    "prog.s:2:12: error: unrecognized character '@'\n"
                    "    mov r1, r2 @\n"
                    "               ^\n"},
        MistakeCase{"beforeAnySection", "mov r1, r2\n", {},
                    "Error in \"prog.s\", line 1: error #1314: Syntax error. Section definition expected.\n\n",
                    "prog.s:1:1: error: 'mov' stands before any section: begin with '.text' or '.data'\n"
                    "    mov r1, r2\n"
                    "    ^~~\n"},
        MistakeCase{"undefinedLabel", ".text\njmp strat\nstart: jmp start\n", {},
                    "Error in \"prog.s\", line 2: error #1315: Referencing undefined symbol strat.\n\n",
                    "prog.s:2:5: error: undefined label 'strat'; did you mean 'start'?\n"
                    "    jmp strat\n"
                    "        ^~~~~\n"},
        MistakeCase{"twoLabelsInAnExpression", ".data\na: 1\nb: a + b\n", {},
                    "Error in \"prog.s\", line 3: error #1312: Wrong symbol usage in the expression.\n\n"
                    "Error in \"prog.s\", line 3: error #1304: Syntax error.\n\n",
                    "prog.s:3:4: error: an expression may use one label at most, and only add numbers to it or "
                    "subtract them from it\n"
                    "    b: a + b\n"
                    "       ^~~~~\n"
                    "prog.s:3:4: error: expected a data word (a number, a label or an expression), found 'a + b'\n"
                    "    b: a + b\n"
                    "       ^\n"},
        MistakeCase{"outputNotWritable", ".text\nmov r1, r2\n", {"-omissing/out"},
                    "Error in error #1316: Failed to open output file missing/out.txt.\n\n"
                    "Error in error #1316: Failed to open output file missing/out.dat.\n\n",
                    "rozedov: error: cannot write missing/out.txt: No such file or directory\n"
                    "rozedov: error: cannot write missing/out.dat: No such file or directory\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Spelling, SuggestsOnlyNearNames)
{
    const std::vector<std::string> names = {"jmp", "jmpz", "jmpnz", "start", "loop"};
    struct Case {
        const char* word;
        const char* suggestion;
    };
    const Case cases[] = {
        {"jmpnzz", "jmpnz"}, {"JMPZZ", "jmpz"}, {"strat", "start"}, {"lop", "loop"},
        {"jmpz", "jmp"},     {"xyz", ""},       {"stop", ""},       {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CSpelling::closest(c.word, names), c.suggestion) << c.word;
    }
}

}  // namespace
