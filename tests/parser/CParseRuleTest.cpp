#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/CAssemblyResult.h"
#include "core/CDiagnosticMsgHandler.h"
#include "core/CFileIndexMap.h"
#include "core/CSectionTable.h"
#include "core/CSymbolTable.h"
#include "lexer/CVornLexer.h"
#include "parser/CAsmParser.h"
#include "parser/CVornParser.h"
#include "support/InProcessAssembly.h"
#include "support/ParserHarness.h"
#include "util/CFileBuffer.h"

namespace {

using testsupport::ParserHarness;

struct RuleDef {
    const char* def;
    std::int32_t id;
    std::vector<CParseRule::OperandShape> operands;
};

constexpr CParseRule::OperandShape kReg{COperand::Register, CStatement::Source};
constexpr CParseRule::OperandShape kExp{COperand::SymExp, CStatement::Source};

// What the program would print of the messages and trace text given.
std::string printedOutput(const CDiagnosticMsgHandler& diag)
{
    CAssemblyResult result;
    result.diagnostics = diag.diagnostics();
    result.report = diag.items();
    result.files = {"prog.s"};
    return testsupport::printed(result).output;
}

// A generic assembler parser with the Vorn lexer, the "reg" class and the
// given rules, tracing with the debug dump.
class RuleBench {
public:
    explicit RuleBench(const std::vector<RuleDef>& rules)
    {
        m_files.getIndex("prog.s");
        m_parser.m_lexer = std::make_unique<CVornLexer>();
        m_parser.m_lexer->m_diag = &m_compileDiag;
        for (std::int32_t id = TOK_R0; id <= TOK_R7; ++id) {
            m_parser.m_classes["reg"].ids.push_back(id);
        }
        for (const RuleDef& rule : rules) {
            m_parser.m_rules.push_back(std::make_unique<CParseRule>("rule", rule.def, rule.operands, rule.id));
        }
        m_parser.compileRules();
        m_compileOutput = printedOutput(m_compileDiag);
    }

    // Tries the rules in order on the text; the id of the first that matches, or 0.
    std::int32_t match(const std::string& text)
    {
        m_input = CFileBuffer(text);
        m_matchDiag = std::make_unique<CDiagnosticMsgHandler>();
        m_parser.m_diag = m_matchDiag.get();
        m_parser.m_lexer->m_diag = m_matchDiag.get();
        m_parser.m_input = &m_input;
        m_parser.m_lexer->start(&m_input);
        m_start = m_parser.m_lexer->m_cursor;
        std::int32_t matched = 0;
        for (const std::unique_ptr<CParseRule>& rule : m_parser.m_rules) {
            if (rule->tryMatch(m_parser)) {
                matched = rule->m_id;
                break;
            }
        }
        m_output = printedOutput(*m_matchDiag);
        return matched;
    }

    CDiagnosticMsgHandler m_compileDiag;
    std::unique_ptr<CDiagnosticMsgHandler> m_matchDiag;
    CFileIndexMap m_files;
    CSymbolTable m_symbols;
    CSectionTable m_sections;
    CAsmParser m_parser{m_compileDiag, m_files, m_symbols, m_sections, false, true};
    CFileBuffer m_input;
    std::int32_t m_start = 0;
    std::string m_output;
    std::string m_compileOutput;
};

std::vector<std::int32_t> registerIds()
{
    return {TOK_R0, TOK_R1, TOK_R2, TOK_R3, TOK_R4, TOK_R5, TOK_R6, TOK_R7};
}

TEST(RuleCompilation, TurnsDefinitionTokensIntoElements)
{
    RuleBench bench({{"add reg, reg, reg", 1, {}}, {"jmp exp", 2, {}}, {"ld [reg]", 3, {}}});
    const auto& add = bench.m_parser.m_rules[0]->m_elems;
    ASSERT_EQ(add.size(), 6u);
    EXPECT_EQ(add[0].kind, CParseRule::Literal);
    EXPECT_EQ(add[0].ids, std::vector<std::int32_t>{TOK_ADD});
    EXPECT_EQ(add[1].kind, CParseRule::Class);
    EXPECT_EQ(add[1].ids, registerIds());
    EXPECT_EQ(add[2].ids, std::vector<std::int32_t>{TOK_COMMA});
    const auto& jmp = bench.m_parser.m_rules[1]->m_elems;
    ASSERT_EQ(jmp.size(), 2u);
    EXPECT_EQ(jmp[1].kind, CParseRule::Expression);
    EXPECT_TRUE(jmp[1].ids.empty());
    EXPECT_EQ(bench.m_parser.m_rules[2]->m_elems.size(), 4u);
    EXPECT_EQ(bench.m_compileOutput, "");
    EXPECT_EQ(bench.m_parser.m_lexer->m_input, nullptr);
}

TEST(RuleCompilation, ReportsAnUnknownClassAndNeverMatchesThatRule)
{
    RuleBench bench({{"mov foo", 1, {kReg}}, {"mov reg", 2, {kReg}}});
    EXPECT_EQ(bench.m_compileOutput, "Error in error: Wrong key id in rule definition string.\n\n");
    EXPECT_FALSE(bench.m_parser.m_rules[0]->m_usable);
    EXPECT_EQ(bench.match("mov r1"), 2);
}

TEST(RuleMatching, FailedAttemptLeavesTheCursorAtItsStart)
{
    RuleBench bench({{"mov reg, reg", 1, {kReg, kReg}}});
    EXPECT_EQ(bench.match("mov r1 r2"), 0);
    EXPECT_EQ(bench.m_parser.m_lexer->m_cursor, bench.m_start);
    EXPECT_TRUE(bench.m_parser.m_pending.empty());
}

TEST(RuleMatching, BacktracksToALaterRuleThatSeesOnlyItsOwnCaptures)
{
    RuleBench bench({{"mov reg, reg, reg", 1, {kReg, kReg, kReg}}, {"mov reg, reg", 2, {kReg, kReg}}});
    EXPECT_EQ(bench.match("MOV R1, r2\n"), 2);
    EXPECT_EQ(bench.m_parser.m_strs, (std::vector<std::string>{"R1", "r2"}));
    EXPECT_EQ(bench.m_parser.m_ruleStart, bench.m_start);
    EXPECT_EQ(bench.m_parser.m_lexer->peek().m_id, TOK_NEWLINE);
    ASSERT_EQ(bench.m_parser.m_pending.size(), 1u);
    EXPECT_EQ(bench.m_parser.m_pending[0]->m_operands.size(), 2u);
    EXPECT_EQ(bench.m_output, "mov reg, reg\n");
}

TEST(RuleMatching, FreesTheExpressionOfAFailedAttempt)
{
    RuleBench bench({{"jmp exp, reg", 1, {kExp, kReg}}, {"jmp exp", 2, {kExp}}});
    EXPECT_EQ(bench.match("jmp lbl + 2"), 2);
    ASSERT_EQ(bench.m_parser.m_pending.size(), 1u);
    const auto& operand = static_cast<const CSymExpOperand&>(*bench.m_parser.m_pending[0]->m_operands[0]);
    EXPECT_EQ(operand.m_expr->m_type, TOK_PLUS);
    EXPECT_TRUE(bench.m_parser.m_exps.size() == 1 && bench.m_parser.m_exps[0] == nullptr);
    // Each matched expression element traces once, also in the attempt that failed later.
    EXPECT_EQ(bench.m_output, "Expression is lbl + 2\nExpression is lbl + 2\njmp exp\n");
}

TEST(RuleIndex, OffersEachMnemonicItsOwnRuleOnly)
{
    ParserHarness harness;
    const CVornParser& parser = harness.parser();
    ASSERT_EQ(parser.m_rules.size(), 21u);
    for (std::int32_t token = TOK_MOV; token <= TOK_ST; ++token) {
        const std::vector<CParseRule*>& rules = parser.rulesStartingWith(token);
        ASSERT_EQ(rules.size(), 1u) << token;
        EXPECT_EQ(rules[0]->m_id, token - TOK_MOV + 102);
    }
    EXPECT_TRUE(parser.rulesStartingWith(TOK_IDENTIFIER).empty());
    EXPECT_TRUE(parser.rulesStartingWith(TOK_R0).empty());
    EXPECT_TRUE(parser.rulesStartingWith(5000).empty());
    EXPECT_TRUE(parser.rulesStartingWith(-1).empty());
}

TEST(RuleIndex, KeepsTableOrderAmongRulesOfOneToken)
{
    RuleBench bench({{"jmp exp", 1, {kExp}}, {"exp", 2, {kExp}}, {"jmp reg", 3, {kReg}}, {"", 4, {}}});
    std::vector<std::int32_t> ids;
    for (const CParseRule* rule : bench.m_parser.rulesStartingWith(TOK_JMP)) {
        ids.push_back(rule->m_id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 3, 4}));
    ids.clear();
    for (const CParseRule* rule : bench.m_parser.rulesStartingWith(TOK_LPAREN)) {
        ids.push_back(rule->m_id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{2, 4}));
    ASSERT_EQ(bench.m_parser.rulesStartingWith(5000).size(), 1u);
}

}  // namespace
