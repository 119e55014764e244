#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/CSymbolTable.h"
#include "parser/CVornParser.h"
#include "support/ParserHarness.h"

namespace {

using testsupport::ParserHarness;
using testsupport::RunResult;

constexpr const char* kMarker = "# 1 \"prog.s\"\n";

std::string describeOperand(const COperand* operand)
{
    if (operand->m_kind != COperand::SymExp) {
        return operand->m_text;
    }
    double value = 0;
    std::string symbol;
    static_cast<const CSymExpOperand*>(operand)->m_expr->evaluate(value, symbol);
    std::ostringstream text;
    text << (symbol.empty() ? "" : symbol + "+") << value;
    return text.str();
}

template <typename Operands>
std::string describeOperands(const Operands& operands)
{
    std::string text;
    for (const COperand* operand : operands) {
        text += (text.empty() ? "" : ",") + describeOperand(operand);
    }
    return text;
}

// Sections as name[id@cycle file:line ...], separated by blanks.
std::string describeSections(const ParserHarness& harness)
{
    std::string text;
    for (const auto& section : harness.sections()) {
        text += (text.empty() ? "" : " ") + section->m_name + "[";
        std::string statements;
        for (const auto& statement : section->m_statements) {
            statements += (statements.empty() ? "" : " ") + std::to_string(statement->m_id) + "@" +
                          std::to_string(statement->m_cycle) + " " + harness.fileName(statement->m_fileIndex) +
                          ":" + std::to_string(statement->m_line);
        }
        text += statements + "]";
    }
    return text;
}

// Symbols as name:section:cycle ("-" for no section), separated by blanks.
std::string describeSymbols(const ParserHarness& harness)
{
    std::string text;
    for (const auto& symbol : harness.symbols().symbols()) {
        text += (text.empty() ? "" : " ") + symbol->m_name + ":" +
                (symbol->m_section ? symbol->m_section->m_name : "-") + ":" + std::to_string(symbol->m_cycle);
    }
    return text;
}

struct FormCase {
    const char* source;
    std::int32_t id;
    const char* operands;
    const char* destinations;
    const char* sources;
};

// Test names show the case, not its bytes.
void PrintTo(const FormCase& c, std::ostream* os)
{
    *os << testing::PrintToString(std::string(c.source));
}

class InstructionForms : public testing::TestWithParam<FormCase> {};

TEST_P(InstructionForms, BuildRecordsWithTheirRoleLists)
{
    const FormCase& c = GetParam();
    ParserHarness harness;
    const RunResult result = harness.parse(std::string(kMarker) + ".text\n" + c.source + "\n");
    ASSERT_EQ(result.output, "") << c.source;
    ASSERT_EQ(result.status, 0);
    const std::vector<const CStatement*> statements = harness.statements();
    ASSERT_EQ(statements.size(), 1u) << c.source;
    const CStatement& statement = *statements[0];
    EXPECT_EQ(statement.m_id, c.id);
    std::vector<COperand*> all;
    for (const auto& operand : statement.m_operands) {
        all.push_back(operand.get());
    }
    EXPECT_EQ(describeOperands(all), c.operands);
    EXPECT_EQ(describeOperands(statement.m_dstOps), c.destinations);
    EXPECT_EQ(describeOperands(statement.m_srcOps), c.sources);
    EXPECT_TRUE(statement.m_auxOps.empty());
}

const FormCase kFormCases[] = {
    {"mov r1, r2", 102, "r1,r2", "r1", "r2"},
    {"add r7, r0, r5", 103, "r7,r0,r5", "r7", "r0,r5"},
    {"sub r1, r2, r3", 104, "r1,r2,r3", "r1", "r2,r3"},
    {"and r1, r2, r3", 105, "r1,r2,r3", "r1", "r2,r3"},
    {"or r1, r2, r3", 106, "r1,r2,r3", "r1", "r2,r3"},
    {"not r4, r5", 107, "r4,r5", "r4", "r5"},
    {"inc r4, r5", 108, "r4,r5", "r4", "r5"},
    {"dec r4, r5", 109, "r4,r5", "r4", "r5"},
    {"shl r4, r5", 110, "r4,r5", "r4", "r5"},
    {"shr r4, r5", 111, "r4,r5", "r4", "r5"},
    {"ashl r4, r5", 112, "r4,r5", "r4", "r5"},
    {"ashr r4, r5", 113, "r4,r5", "r4", "r5"},
    {"jmp loop", 114, "loop+0", "", "loop+0"},
    {"jmpz 5", 115, "5", "", "5"},
    {"jmps loop + 2", 116, "loop+2", "", "loop+2"},
    {"jmpc (1 << 3) | 1", 117, "9", "", "9"},
    {"jmpnz 0x1F", 118, "31", "", "31"},
    {"jmpns -1", 119, "-1", "", "-1"},
    {"jmpnc ~0", 120, "-1", "", "-1"},
    {"ld r3, r4", 121, "r3,r4", "r3", "r4"},
    {"st r3, r4", 122, "r3,r4", "", "r3,r4"},
    {"MoV R1, r2", 102, "R1,r2", "R1", "r2"},
    {"ASHR R6, R7", 113, "R6,R7", "R6", "R7"},
};
INSTANTIATE_TEST_SUITE_P(Grammar, InstructionForms, testing::ValuesIn(kFormCases));

struct LoopCase {
    const char* name;
    std::string source;
    std::string output;
    int status;
    const char* sections;
    const char* symbols;
};

// Test names show the case's name, not its bytes.
void PrintTo(const LoopCase& c, std::ostream* os)
{
    *os << c.name;
}

class StatementLoop : public testing::TestWithParam<LoopCase> {};

TEST_P(StatementLoop, ParsesSectionsStatementsAndLabels)
{
    const LoopCase& c = GetParam();
    ParserHarness harness;
    const RunResult result = harness.parse(c.source);
    EXPECT_EQ(result.output, c.output);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(describeSections(harness), c.sections);
    EXPECT_EQ(describeSymbols(harness), c.symbols);
}

std::string prog(const std::string& lines)
{
    return kMarker + lines;
}

std::string syntaxError(int line)
{
    return "Error in \"prog.s\", line " + std::to_string(line) + ": error #1304: Syntax error.\n\n";
}

const std::string kTwoBadLines = syntaxError(3) + syntaxError(5);
const std::string kSymbolThenSyntax =
    "Error in \"prog.s\", line 2: error #1312: Wrong symbol usage in the expression.\n\n" + syntaxError(2);
const std::string kSectionExpected =
    "Error in \"prog.s\", line 1: error #1314: Syntax error. Section definition expected.\n\n";

const LoopCase kLoopCases[] = {
    {"EmptyInput", "", "", 0, "", ""},
    {"OnlyMarkersAndBlankLines", prog("\n\n# 4 \"<built-in>\"\n"), "", 0, "", ""},
    {"LabelOnItsOwnLine", prog(".text\nlbl:\nmov r1, r2\n"), "", 0, "main[102@0 prog.s:3]", "lbl:main:0"},
    {"LabelBeforeInstruction", prog(".text\nnop: mov r1, r2\nlbl: mov r1, r2\n"), "", 0,
     "main[102@0 prog.s:2 102@1 prog.s:3]", "nop:main:0 lbl:main:1"},
    {"LabelAfterTheLastStatement", prog(".text\nmov r1, r2\nend:\n"), "", 0, "main[102@0 prog.s:2]",
     "end:main:1"},
    {"SecondDefinitionIsDropped", prog(".text\na: mov r1, r2\na: mov r3, r4\n"), "", 0,
     "main[102@0 prog.s:2 102@1 prog.s:3]", "a:main:0"},
    {"LabelBeforeTheFirstSection", prog("early:\n.text\nmov r1, r2\n"), "", 0, "main[102@0 prog.s:3]",
     "early:-:0"},
    {"JumpToALaterLabel", prog(".text\njmp later\nlater: mov r1, r2\n"), "", 0,
     "main[114@0 prog.s:2 102@1 prog.s:3]", "later:main:1"},
    {"SeparatorKeepsTheLine", prog(".text\nmov r1, r2 __NEW_LINE__ mov r3, r4\nmov r5, r6\n"), "", 0,
     "main[102@0 prog.s:2 102@1 prog.s:2 102@2 prog.s:3]", ""},
    {"FailedStatementQueuesNothing", prog(".text\nmov r1, r2, r3\nmov r4, r5\n"), syntaxError(2), 1,
     "main[102@0 prog.s:3]", ""},
    {"OneMessagePerBadLine", prog(".text\nmov r1, r2\nmov r1 r2\nadd r1, r2, r3\njmp\n"), kTwoBadLines, 1,
     "main[102@0 prog.s:2 103@1 prog.s:4]", ""},
    {"UnpairedParenthesis", prog(".text\njmp (1 + 2\n"), syntaxError(2), 1, "main[]", ""},
    {"BlockCommentInAStatement", prog(".text\nmov r1, /* x */ r2\n"), syntaxError(2), 1, "main[]", ""},
    {"WrongSymbolUsage", prog(".text\njmp 5 - lbl\n"), kSymbolThenSyntax, 1, "main[]", ""},
    {"UnknownDirectiveInCode", prog(".text\n.foo\n"), syntaxError(2), 1, "main[]", ""},
    {"DirectiveWithTrailingTokens", prog(".data\n.text 5\n"), syntaxError(2), 1, "data[]", ""},
    {"InstructionBeforeTheFirstSection", prog("mov r1, r2\n.text\n"), kSectionExpected, 1, "", ""},
    {"UpperCaseSectionNameIsNoDirective", prog(".TEXT\n"), kSectionExpected, 1, "", ""},
    {"UnrecognizedByteStopsTheParse", prog(".text\nmov r1, r2\n$ mov r3, r4\nmov r5, r6\n"),
     "Error in error #1305: Unrecognized token.\n\n", 1, "main[102@0 prog.s:2]", ""},
    {"DataWordsWithCommas", prog(".data\n1, 2, 3\n"), "", 0, "data[101@0 prog.s:2 101@1 prog.s:2 101@2 prog.s:2]",
     ""},
    {"DataWordsWithoutCommas", prog(".data\n1 2\n3,\n"), "", 0,
     "data[101@0 prog.s:2 101@1 prog.s:2 101@2 prog.s:3]", ""},
    {"DataWordNamingADottedSymbol", prog(".data\n.foo, x: lbl + 1\n"), "", 0,
     "data[101@0 prog.s:2 101@1 prog.s:2]", "x:data:1"},
    {"DataWordThatIsNoExpression", prog(".data\n1, mov\n"), syntaxError(2), 1, "data[101@0 prog.s:2]", ""},
    {"SeveralSections", prog(".text\nmov r1, r2\n.data\n5\nlbl:\n.text\nlbl2: mov r3, r4\n"), "", 0,
     "main[102@0 prog.s:2] data[101@0 prog.s:4] main[102@0 prog.s:7]", "lbl:data:1 lbl2:main:0"},
    {"MarkerSetsFileAndLine", prog(".text\n# 10 \"inc.s\" 1\nmov r1, r2\n\nmov r3, r4\n# 3 \"prog.s\" 2\nmov r5, r6\n"),
     "", 0, "main[102@0 inc.s:10 102@1 inc.s:12 102@2 prog.s:3]", ""},
    {"BuiltInMarkerKeepsTheFile", prog(".text\n# 40 \"<built-in>\"\nmov r1, r2\n"), "", 0, "main[102@0 prog.s:40]",
     ""},
    {"ErrorCarriesTheMarkedFile", prog(".text\n# 7 \"inc.s\"\nmov r1\n"),
     "Error in \"inc.s\", line 7: error #1304: Syntax error.\n\n", 1, "main[]", ""},
    {"LineCountSaturates", ".text\n# 2147483647 \"big.s\"\n\n\nmov r1, r2\n", "", 0,
     "main[102@0 big.s:2147483647]", ""},
    {"LinesCountWithoutMarkers", ".text\n\nmov r1, r2\n", "", 0, "main[102@0 prog.s:2]", ""},
    {"LastLineWithoutNewline", prog(".text\nmov r1, r2"), "", 0, "main[102@0 prog.s:2]", ""},
};
INSTANTIATE_TEST_SUITE_P(Parser, StatementLoop, testing::ValuesIn(kLoopCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StatementLoop, DeepExpressionsAreSyntaxErrorsOnTheirLine)
{
    ParserHarness harness;
    const std::string deep = "jmp " + std::string(20000, '(') + "1\njmp " + std::string(20000, '-') + "1\n";
    std::string sum = "jmp 1";
    for (int i = 0; i < 50000; ++i) {
        sum += " + 1";
    }
    const RunResult result = harness.parse(prog(".text\n" + deep + sum + "\nmov r1, r2\n"));
    EXPECT_EQ(result.output, syntaxError(2) + syntaxError(3) + syntaxError(4));
    EXPECT_EQ(describeSections(harness), "main[102@0 prog.s:5]");
}

// Each statement's text, with its operands' texts in braces, as the
// preprocessed text spells them where the records say they stand.
std::string describeSpans(const ParserHarness& harness, const std::string& text)
{
    std::string described;
    for (const CStatement* statement : harness.statements()) {
        described += (described.empty() ? "" : " ") + text.substr(statement->m_offset, statement->m_length) + "{";
        std::string operands;
        for (const auto& operand : statement->m_operands) {
            operands += (operands.empty() ? "" : "|") + text.substr(operand->m_offset, operand->m_length);
        }
        described += operands + "}";
    }
    for (const auto& symbol : harness.symbols().symbols()) {
        described += " " + symbol->m_name + "@" + text.substr(symbol->m_offset, symbol->m_name.size());
    }
    return described;
}

TEST(StatementPlaces, RecordsKnowWhereTheyStandInThePreprocessedText)
{
    struct Case {
        std::string source;
        const char* spans;
    };
    const Case cases[] = {
        {prog(".text\nloop:  add r1,  r2, r3\n"), "add r1,  r2, r3{r1|r2|r3} loop@loop"},
        {prog(".text\njmp  loop + 2 ; note\n"), "jmp  loop + 2{loop + 2}"},
        {prog(".text\nmov r1, r2 __NEW_LINE__ st r3,r4\n"), "mov r1, r2{r1|r2} st r3,r4{r3|r4}"},
        {prog(".data\n1, lbl + 2\n  x: (3)\n"), "1{1} lbl + 2{lbl + 2} (3){(3)} x@x"},
        {prog(".text\n# 7 \"inc.s\" 1\n  ld R1, R2\n"), "ld R1, R2{R1|R2}"},
    };
    for (const Case& c : cases) {
        ParserHarness harness;
        ASSERT_EQ(harness.parse(c.source).status, 0) << c.source;
        EXPECT_EQ(describeSpans(harness, c.source), c.spans) << c.source;
    }
}

struct ListingCase {
    const char* name;
    std::string source;
    std::vector<std::vector<std::string>> lines;
};

// Test names show the case's name, not its bytes.
void PrintTo(const ListingCase& c, std::ostream* os)
{
    *os << c.name;
}

class ListingText : public testing::TestWithParam<ListingCase> {};

TEST_P(ListingText, GathersTheTokensOfEachClosedStatement)
{
    const ListingCase& c = GetParam();
    ParserHarness harness({"-l"});
    ASSERT_EQ(harness.parse(c.source).status, 0);
    std::vector<std::vector<std::string>> lines;
    for (const auto& section : harness.sections()) {
        lines.emplace_back(section->m_lstLines.begin(), section->m_lstLines.end());
    }
    EXPECT_EQ(lines, c.lines);
}

const ListingCase kListingCases[] = {
    {"LabelJoinsTheNextInstruction", ".text\nloop:\n  add r1, r2, r3\n", {{".text \nloop : add r1 , r2 , r3 \n"}}},
    {"MarkersAndDirective", prog(".text\nmov r1, R2\n"), {{"# 1 prog.s \n.text \nmov r1 , R2 \n"}}},
    {"NumbersAsValuesHexAsWritten", ".text\njmp 017 + 0x1F\n", {{".text \njmp 17 + 0x1F \n"}}},
    {"SeparatorSplitsALine", ".text\nmov r1, r2 __NEW_LINE__ mov r3, r4\n",
     {{".text \nmov r1 , r2 __NEW_LINE__ ", "mov r3 , r4 \n"}}},
    {"DataWordsWithoutTheirNewline", ".data\n1, -2\nx: 3\n", {{".data \n1 , ", "- 2 ", "x : 3 "}}},
    {"TextAfterTheLastStatementIsNotListed", ".text\nmov r1, r2\nend:\n", {{".text \nmov r1 , r2 \n"}}},
    {"EverySectionItsOwnLines", ".text\nmov r1, r2\n.data\n5\n", {{".text \nmov r1 , r2 \n"}, {".data \n5 "}}},
};
INSTANTIATE_TEST_SUITE_P(Parser, ListingText, testing::ValuesIn(kListingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ListingText, IsNotGatheredWithoutTheOption)
{
    ParserHarness harness;
    ASSERT_EQ(harness.parse(".text\nmov r1, r2\n").status, 0);
    EXPECT_TRUE(harness.sections().at(0)->m_lstLines.empty());
}

TEST(DebugDump, TracesEveryStatementOfASmallProgram)
{
    ParserHarness harness({"-debug-dump"});
    const RunResult result = harness.parse(
        "# 1 \"prog.s\"\n"
        ".text\n"
        "start: mov r1, r2\n"
        "  jmp start + 1 __NEW_LINE__ jmpz 7 / 2\n"
        "# 1 \"<built-in>\"\n"
        ".data\n"
        "  1000000, lbl\n"
        "  -1\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output,
              "\nPreprocessor num is: 1\nPreprocessor string flag is: prog.s\nPREPROCESSOR \n"
              ".directive \n"
              "\nLABEL: start\nLABEL: \n"
              "mov reg, reg\n"
              "Expression is start + 1\njmp exp\n"
              "Expression is 3.5\njmpz exp\n"
              "\nPreprocessor num is: 1\nPreprocessor string flag is: <built-in>\nPREPROCESSOR \n"
              ".directive \n"
              "Expression is 1e+06\n"
              "Expression is lbl + 0\n"
              "Expression is -1\n");
}

}  // namespace
