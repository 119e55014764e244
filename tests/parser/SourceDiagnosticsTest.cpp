#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ParserHarness.h"
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
                    "       ^~~~~\n"},
        MistakeCase{"outputNotWritable", ".text\nmov r1, r2\n", {"-omissing/out"},
                    "Error in error #1316: Failed to open output file missing/out.txt.\n\n"
                    "Error in error #1316: Failed to open output file missing/out.dat.\n\n",
                    "rozedov: error: cannot write missing/out.txt: No such file or directory\n"
                    "rozedov: error: cannot write missing/out.dat: No such file or directory\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// One mistake found by the parser alone: the preprocessed text, the user's
// file as written (none: places count in the preprocessed line), and what
// standard output and error say.
struct ParsedCase {
    const char* name;
    std::string preprocessed;
    CSourceTexts originals;
    int status;
    std::string printed;
    std::string errors;
};

void PrintTo(const ParsedCase& c, std::ostream* os)
{
    *os << c.name;
}

class ParsedMistake : public testing::TestWithParam<ParsedCase> {};

TEST_P(ParsedMistake, IsPlacedInTheFileAsWritten)
{
    const ParsedCase& c = GetParam();
    testsupport::ParserHarness harness;
    const testsupport::RunResult result = harness.parse(c.preprocessed, c.originals);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.output, c.printed);
    EXPECT_EQ(result.errors, c.errors);
}

const std::string kMarker = "# 1 \"prog.s\"\n";

std::string syntaxError(int line)
{
    return "Error in \"prog.s\", line " + std::to_string(line) + ": error #1304: Syntax error.\n\n";
}

const ParsedCase kParsedCases[] = {
    {"numberForInstruction", kMarker + ".text\n  5, r1\n", {{"prog.s", ".text\n  5, r1\n"}}, 1, syntaxError(2),
     "prog.s:2:3: error: expected an instruction, found '5'\n"
     "      5, r1\n"
     "      ^\n"},
    {"registerForInstruction", kMarker + ".text\nR1, R2\n", {{"prog.s", ".text\nR1, R2\n"}}, 1, syntaxError(2),
     "prog.s:2:1: error: expected an instruction, found 'R1'\n"
     "    R1, R2\n"
     "    ^~\n"},
    {"unknownWithoutSuggestion", kMarker + ".text\nfoo r1\n", {{"prog.s", ".text\nfoo r1\n"}}, 1, syntaxError(2),
     "prog.s:2:1: error: unknown instruction 'foo'\n"
     "    foo r1\n"
     "    ^~~\n"},
    {"trailingTokenAfterDirective", kMarker + ".text\n.data   5\n", {{"prog.s", ".text\n.data   5\n"}}, 1,
     syntaxError(2),
     "prog.s:2:9: error: unexpected '5' after '.data'\n"
     "    .data   5\n"
     "            ^\n"},
    {"unfinishedJumpTarget", kMarker + ".text\njmp (1 + 2\n", {{"prog.s", ".text\njmp (1 +   2\n"}}, 1,
     syntaxError(2),
     "prog.s:2:5: error: expected a jump target (a label or a word address), found '(1 + 2'\n"
     "    jmp (1 +   2\n"
     "        ^~~~~~~~\n"},
    {"notADataWord", kMarker + ".data\n1, )\n", {{"prog.s", ".data\n1, )\n"}}, 1, syntaxError(2),
     "prog.s:2:4: error: expected a data word (a number, a label or an expression), found ')'\n"
     "    1, )\n"
     "       ^\n"},
    {"registerFromAMacro", kMarker + "\n.text\njmp R1\n", {{"prog.s", "#define TARGET R1\n.text\njmp TARGET\n"}}, 1,
     syntaxError(3),
     "prog.s:3:5: error: expected a jump target (a label or a word address), found the register 'R1'\n"
     "    jmp TARGET\n"
     "        ^~~~~~\n"
     "prog.s:3: note: after macro expansion the line reads: jmp R1\n"},
    {"strayByteInAnIncludedFile", kMarker + ".text\n# 1 \"inc.s\" 1\nmov r1, r2 $\n",
     {{"prog.s", ".text\n#include \"inc.s\"\n"}, {"inc.s", "mov r1,  r2 $\n"}}, 1,
     "Error in error #1305: Unrecognized token.\n\n",
     "inc.s:1:13: error: unrecognized character '$'\n"
     "    mov r1,  r2 $\n"
     "                ^\n"},
    {"missingOperandAsWritten", kMarker + ".text\nadd R1, R2\n", {{"prog.s", ".text\nadd   R1,   R2\n"}}, 1,
     syntaxError(2),
     "prog.s:2:15: error: missing operand: 'add' takes three registers: add Rd, Ra, Rb\n"
     "    add   R1,   R2\n"
     "                  ^\n"},
    {"missingOperandAsPreprocessed", kMarker + ".text\nadd R1, R2\n", {}, 1, syntaxError(2),
     "prog.s:2:11: error: missing operand: 'add' takes three registers: add Rd, Ra, Rb\n"
     "    add R1, R2\n"
     "              ^\n"},
    {"labelDefinedAgain", kMarker + ".text\na: mov r1, r2\n  a: mov r3, r4\n",
     {{"prog.s", ".text\na: mov r1, r2\n  a: mov r3, r4\n"}}, 0, "",
     "prog.s:3:3: warning: label 'a' is defined again; this definition is ignored\n"
     "      a: mov r3, r4\n"
     "      ^\n"
     "prog.s:2:1: note: the first definition, which stays in force, is here\n"
     "    a: mov r1, r2\n"
     "    ^\n"},
};
INSTANTIATE_TEST_SUITE_P(Parser, ParsedMistake, testing::ValuesIn(kParsedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Tokens after a directive are what is wrong, whatever section is open.
TEST(DirectiveMistake, TrailingTokenInAnySection)
{
    const ParsedCase cases[] = {
        {"noSectionYet", kMarker + ".text 5\n", {{"prog.s", ".text 5\n"}}, 1, syntaxError(1),
         "prog.s:1:7: error: unexpected '5' after '.text'\n"
         "    .text 5\n"
         "          ^\n"},
        {"inDataSection", kMarker + ".data\n.text   5\n", {{"prog.s", ".data\n.text   5\n"}}, 1, syntaxError(2),
         "prog.s:2:9: error: unexpected '5' after '.text'\n"
         "    .text   5\n"
         "            ^\n"},
    };
    for (const ParsedCase& c : cases) {
        testsupport::ParserHarness harness;
        const testsupport::RunResult result = harness.parse(c.preprocessed, c.originals);
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.output, c.printed) << c.name;
        EXPECT_EQ(result.errors, c.errors) << c.name;
    }
}

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
        {"Start", "start"},  {"LOOP", "loop"},  {"jmpnz", "jmpz"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CSpelling::closest(c.word, names), c.suggestion) << c.word;
    }
}

}  // namespace
