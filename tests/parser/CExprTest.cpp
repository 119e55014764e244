#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/CAssemblyResult.h"
#include "lexer/CLexer.h"
#include "parser/CVornParser.h"
#include "support/InProcessAssembly.h"
#include "support/ParserHarness.h"
#include "util/CFileBuffer.h"

namespace {

using testsupport::ParserHarness;

struct Parsed {
    bool ok = false;
    double value = 0.0;
    std::string symbol;
    std::string output;
    std::int32_t nextToken = TOK_NONE;
    int rootType = 0;
};

// Parses one expression with the parser's own lexer and expression parser;
// the output is what the program would print of the messages given.
Parsed parseOne(const std::string& text)
{
    ParserHarness harness;
    CVornParser& parser = harness.parser();
    CFileBuffer buffer(text);
    parser.m_input = &buffer;
    parser.m_lexer->start(&buffer);
    Parsed parsed;
    std::unique_ptr<CExpr> tree;
    parsed.ok = parser.parseExpression(tree, parsed.value, parsed.symbol);
    parsed.rootType = tree ? tree->m_type : 0;
    parsed.nextToken = parser.m_lexer->next().m_id;
    CAssemblyResult result;
    result.diagnostics = harness.diagnostics().diagnostics();
    result.report = harness.diagnostics().items();
    result.files = {harness.fileName(0)};
    parsed.output = testsupport::printed(result).output;
    return parsed;
}

struct ValueCase {
    const char* text;
    double value;
    const char* symbol;
};

// Test names show the case, not its bytes.
void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << testing::PrintToString(std::string(c.text));
}

class ExpressionValues : public testing::TestWithParam<ValueCase> {};

TEST_P(ExpressionValues, EvaluatesToNumberAndSymbol)
{
    const ValueCase& c = GetParam();
    const Parsed parsed = parseOne(c.text);
    ASSERT_TRUE(parsed.ok) << c.text;
    EXPECT_EQ(parsed.value, c.value) << c.text;
    EXPECT_EQ(parsed.symbol, c.symbol) << c.text;
    EXPECT_EQ(parsed.nextToken, TOK_END) << c.text;
    EXPECT_EQ(parsed.output, "");
}

constexpr double kInt64Min = -9223372036854775808.0;

const ValueCase kValueCases[] = {
    {"-5", -5, ""},
    {"--5", 5, ""},
    {"~0", -1, ""},
    {"(1 + 2) * 3", 9, ""},
    {"7 / 2", 3.5, ""},
    {"1 << 3 | 1", 9, ""},
    {"1 - 2 - 3", -4, ""},
    {"2 * 3 % 4", 2, ""},
    {"1 + 2 << 1", 6, ""},
    {"6 & 3 | 8", 10, ""},
    {"1 | 6 & 3", 3, ""},
    {"2 * -3", -6, ""},
    {"-(1 + 2)", -3, ""},
    {"7 % 3", 1, ""},
    {"-7 % 3", -1, ""},
    {"-16 >> 2", -4, ""},
    {"8 >> -1", 0, ""},
    {"1 << 63", kInt64Min, ""},
    {"1 << 64", 0, ""},
    {"1 << 256", 1, ""},
    {"-1 << 1", -2, ""},
    {"2147483647 + 1", 2147483648.0, ""},
    {"0x10", 16, ""},
    {"0X", 0, ""},
    {"0xFFFFFFFFFFFFFFFFFF", 9223372036854775807.0, ""},
    {"lbl", 0, "lbl"},
    {"lbl + 4", 4, "lbl"},
    {"4 + lbl", 4, "lbl"},
    {"lbl - 4", -4, "lbl"},
    {"(lbl + 1) + 2 * 3", 7, "lbl"},
};
INSTANTIATE_TEST_SUITE_P(Expressions, ExpressionValues, testing::ValuesIn(kValueCases));

struct FailureCase {
    const char* text;
    bool wrongSymbolUsage;  // reported with 1312; otherwise a silent syntax failure
};

// Test names show the case, not its bytes.
void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << testing::PrintToString(std::string(c.text));
}

class ExpressionFailures : public testing::TestWithParam<FailureCase> {};

TEST_P(ExpressionFailures, FailWithTheRightReport)
{
    const FailureCase& c = GetParam();
    const Parsed parsed = parseOne(c.text);
    EXPECT_FALSE(parsed.ok) << c.text;
    const std::string message = "Error in \"prog.s\", line 0: error #1312: Wrong symbol usage in the expression.\n\n";
    EXPECT_EQ(parsed.output, c.wrongSymbolUsage ? message : "") << c.text;
}

const FailureCase kFailureCases[] = {
    {"lbl1 + lbl2", true},
    {"2 * lbl", true},
    {"lbl / 2", true},
    {"~lbl", true},
    {"lbl & 1", true},
    {"lbl % 2", true},
    {"5 - lbl", true},
    {"-lbl", true},
    {"5 % 0", true},
    {"(-2147483647 - 1) % -1", true},
    {"+5", false},
    {"(1 + 2", false},
    {"()", false},
    {"", false},
    {"r1", false},
    {"1 +", false},
    {"1 + )", false},
    {"(1 2)", false},
};
INSTANTIATE_TEST_SUITE_P(Expressions, ExpressionFailures, testing::ValuesIn(kFailureCases));

TEST(ExpressionParsing, StopsBeforeTheFirstTokenThatContinuesNoExpression)
{
    const Parsed parsed = parseOne("1 lbl");
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.nextToken, TOK_IDENTIFIER);
    EXPECT_EQ(parseOne("(2), r1").nextToken, TOK_COMMA);
    EXPECT_EQ(parseOne("2)").nextToken, TOK_RPAREN);
}

TEST(ExpressionParsing, BuildsLeftFoldedTreesWithUnaryNodesOnTheRight)
{
    EXPECT_EQ(parseOne("-1 * 2").rootType, TOK_STAR);
    EXPECT_EQ(parseOne("1 << 2 | 3").rootType, TOK_BAR);
    ParserHarness harness;
    CFileBuffer buffer("1 - 2 - -3");
    harness.parser().m_lexer->start(&buffer);
    std::unique_ptr<CExpr> tree;
    double value = 0;
    std::string symbol;
    ASSERT_TRUE(harness.parser().parseExpression(tree, value, symbol));
    EXPECT_EQ(tree->m_left->m_type, TOK_MINUS);
    EXPECT_EQ(tree->m_right->m_type, TOK_MINUS);
    EXPECT_EQ(tree->m_right->m_left, nullptr);
}

std::string repeat(const std::string& piece, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

std::string sumOf(int terms)
{
    return "1" + repeat(" + 1", terms - 1);
}

struct LimitCase {
    const char* name;
    std::string text;
    bool ok;
};

// Test names show the case's name, not its bytes.
void PrintTo(const LimitCase& c, std::ostream* os)
{
    *os << c.name;
}

class ExpressionLimits : public testing::TestWithParam<LimitCase> {};

TEST_P(ExpressionLimits, AcceptUpToTheLimitAndFailBeyond)
{
    const LimitCase& c = GetParam();
    const Parsed parsed = parseOne(c.text);
    EXPECT_EQ(parsed.ok, c.ok);
    EXPECT_EQ(parsed.output, "");
}

const LimitCase kLimitCases[] = {
    {"ThousandParentheses", repeat("(", 1000) + "1" + repeat(")", 1000), true},
    {"ThousandAndOneParentheses", repeat("(", 1001) + "1" + repeat(")", 1001), false},
    {"TwentyThousandParentheses", repeat("(", 20000) + "1" + repeat(")", 20000), false},
    {"TreeOfThousandLevels", repeat("-", 999) + "1", true},
    {"TreeOfThousandAndOneLevels", repeat("-", 1000) + "1", false},
    {"TwentyThousandMinus", repeat("-", 20000) + "1", false},
    {"ChainOfThousandLevels", sumOf(1000), true},
    {"ChainOfThousandAndOneLevels", sumOf(1001), false},
    {"FiftyThousandTermSum", sumOf(50000), false},
    {"NestedSumsOfThousandAndOneLevels", repeat("1 + (", 999) + "1 + 1" + repeat(")", 999), false},
};
INSTANTIATE_TEST_SUITE_P(Nesting, ExpressionLimits, testing::ValuesIn(kLimitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExpressionTree, DestroysVeryDeepTreesWithoutRecursion)
{
    auto tree = std::make_unique<CExpr>(TOK_DEC_NUMBER, 1.0);
    for (int i = 0; i < 1000000; ++i) {
        tree = std::make_unique<CExpr>(TOK_MINUS, nullptr, std::move(tree));
    }
    tree.reset();
    SUCCEED();
}

struct ConversionCase {
    double value;
    std::int32_t int32;
    std::int64_t int64;
    std::uint64_t uint64;
};

// Test names show the case, not its bytes.
void PrintTo(const ConversionCase& c, std::ostream* os)
{
    *os << c.value;
}

class ExpressionConversions : public testing::TestWithParam<ConversionCase> {};

TEST_P(ExpressionConversions, AreDefinedForEveryDouble)
{
    const ConversionCase& c = GetParam();
    EXPECT_EQ(CExpr::toInt32(c.value), c.int32) << c.value;
    EXPECT_EQ(CExpr::toInt64(c.value), c.int64) << c.value;
    EXPECT_EQ(CExpr::toUint64(c.value), c.uint64) << c.value;
}

constexpr std::int32_t kI32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kI64Min = std::numeric_limits<std::int64_t>::min();

const ConversionCase kConversionCases[] = {
    {3.9, 3, 3, 3},
    {-3.9, -3, -3, 0xFFFFFFFFFFFFFFFDull},
    {2147483647.5, 2147483647, 2147483647, 2147483647},
    {2147483648.0, kI32Min, 2147483648LL, 2147483648ull},
    {-2147483648.9, kI32Min, -2147483648LL, 0xFFFFFFFF80000000ull},
    {-2147483649.0, kI32Min, -2147483649LL, 0xFFFFFFFF7FFFFFFFull},
    {std::nan(""), kI32Min, kI64Min, 0},
    {std::numeric_limits<double>::infinity(), kI32Min, kI64Min, 0},
    {-std::numeric_limits<double>::infinity(), kI32Min, kI64Min, 0x8000000000000000ull},
    {9223372036854775808.0, kI32Min, kI64Min, 0x8000000000000000ull},
    {18446744073709551616.0, kI32Min, kI64Min, 0},
};
INSTANTIATE_TEST_SUITE_P(Conversions, ExpressionConversions, testing::ValuesIn(kConversionCases));

}  // namespace
