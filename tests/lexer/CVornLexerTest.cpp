#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CDiagnosticMsgHandler.h"
#include "lexer/CVornLexer.h"
#include "util/CFileBuffer.h"

namespace {

// Tokens as text: the id, then 'text' when not empty, then =value for
// numbers and line markers, separated by blanks.
std::string describe(const CToken& token)
{
    std::string text = std::to_string(token.m_id);
    if (!token.m_text.empty()) {
        text += "'" + token.m_text + "'";
    }
    if (token.m_id == TOK_DEC_NUMBER || token.m_id == TOK_LINE_MARKER) {
        text += "=" + std::to_string(token.m_value);
    }
    return text;
}

struct Lexed {
    std::string tokens;
    int unrecognized = 0;
    std::vector<CDiagnostic> diagnostics;
};

// Lexes the whole input up to and including the first TOK_END.
Lexed lexAll(const std::string& input)
{
    CDiagnosticMsgHandler diag;
    CVornLexer lexer;
    lexer.m_diag = &diag;
    CFileBuffer buffer(input);
    lexer.start(&buffer);
    Lexed lexed;
    for (int count = 0; count < 1000; ++count) {
        const CToken& token = lexer.next();
        lexed.tokens += (lexed.tokens.empty() ? "" : " ") + describe(token);
        if (token.m_id == TOK_END) {
            break;
        }
    }
    for (const CDiagnostic& diagnostic : diag.diagnostics()) {
        lexed.unrecognized += diagnostic.code == 1305 ? 1 : 0;
    }
    lexed.diagnostics = diag.diagnostics();
    return lexed;
}

struct LexCase {
    const char* name;
    std::string input;
    const char* tokens;
    int unrecognized;
};

// Test names show the case's name, not its bytes.
void PrintTo(const LexCase& c, std::ostream* os)
{
    *os << c.name;
}

class LexerTokens : public testing::TestWithParam<LexCase> {};

TEST_P(LexerTokens, ScansTheExpectedTokens)
{
    const LexCase& c = GetParam();
    const Lexed lexed = lexAll(c.input);
    EXPECT_EQ(lexed.tokens, c.tokens) << "input: " << c.input;
    EXPECT_EQ(lexed.unrecognized, c.unrecognized);
    EXPECT_EQ(lexed.diagnostics.size(), static_cast<std::size_t>(c.unrecognized));
}

const LexCase kNumberCases[] = {
    {"HexNumber", "0x1F", "2'0x1F' 11", 0},
    {"HexPrefixAlone", "0X", "2'0X' 11", 0},
    {"HexStopsAtNonHexDigit", "0x1fg", "2'0x1f' 10'g' 11", 0},
    {"Zero", "0", "1=0 11", 0},
    {"LeadingZeros", "09 017", "1=9 1=17 11", 0},
    {"NumberThenIdentifier", "12abc", "1=12 10'abc' 11", 0},
    {"DotStartsIdentifier", "1.5", "1=1 10'.5' 11", 0},
    {"NumberSaturates", "2147483648 99999999999999999999", "1=2147483647 1=2147483647 11", 0},
    {"NumbersCarryNoSign", "x = -5", "10'x' 24'=' 15'-' 1=5 11", 0},
};
INSTANTIATE_TEST_SUITE_P(Numbers, LexerTokens, testing::ValuesIn(kNumberCases),
                         [](const auto& info) { return std::string(info.param.name); });

const LexCase kOperatorCases[] = {
    {"EveryOperator", ": , [ ] ( ) { } + - * / % & | >> << ~ =",
     "52':' 3',' 4'[' 5']' 6'(' 7')' 8'{' 9'}' 14'+' 15'-' 16'*' 17'/' 18'%' 19'&' 20'|' 21'>>' 22'<<' 23'~' "
     "24'=' 11",
     0},
    {"ShiftWithoutBlanks", "a>>2", "10'a' 21'>>' 1=2 11", 0},
    {"LoneGreaterIsUnrecognized", "a>2", "10'a' 11", 1},
    {"ColonIsNoIdentifierCharacter", "a:b", "10'a' 52':' 10'b' 11", 0},
    {"SlashBetweenIdentifiers", "a / b", "10'a' 17'/' 10'b' 11", 0},
};
INSTANTIATE_TEST_SUITE_P(Operators, LexerTokens, testing::ValuesIn(kOperatorCases),
                         [](const auto& info) { return std::string(info.param.name); });

const LexCase kCommentCases[] = {
    {"SemicolonComment", "a ; note\nb", "10'a' 12 10'b' 11", 0},
    {"SlashSlashComment", "// note\nb", "12 10'b' 11", 0},
    {"LineCommentCutOffByEnd", "a ; note", "10'a' 11", 0},
    {"BlockComment", "/* a */ b", "25 10'b' 11", 0},
    {"BlockCommentEndsAtFirstClose", "/* a **/ b */", "25 10'b' 16'*' 17'/' 11", 0},
    {"SlashStarSlashDoesNotClose", "/*/ x */y", "25 10'y' 11", 0},
    {"UnclosedBlockCommentSwallowsTheRest", "a /* b\nc", "10'a' 11", 0},
};
INSTANTIATE_TEST_SUITE_P(Comments, LexerTokens, testing::ValuesIn(kCommentCases),
                         [](const auto& info) { return std::string(info.param.name); });

const LexCase kLineCases[] = {
    {"CarriageReturnIsBlank", "a\r\nb", "10'a' 12 10'b' 11", 0},
    {"MarkerWithFlags", "# 12 \"src.s\" 1 3\n", "13'src.s'=12 12 11", 0},
    {"MarkerWithoutFlags", "# 1 \"<built-in>\"\nx", "13'<built-in>'=1 12 10'x' 11", 0},
    {"MarkerWithCarriageReturn", "# 7 \"a b.s\"\r\n", "13'a b.s'=7 12 11", 0},
    {"MarkerNumberIsItsLeadingDigits", "# 12x3 \"f\"\n", "13'f'=12 12 11", 0},
    {"MarkerNumberSaturates", "# 99999999999 \"f\"\n", "13'f'=2147483647 12 11", 0},
    {"MarkerWithoutQuoteIsNoMarker", "# 1 f\n", "11", 1},
    {"HashWithoutSpaceIsNoMarker", "#1 \"f\"\n", "11", 1},
    {"MarkerWithJunkAfterNameIsNoMarker", "# 1 \"f\"x\n", "11", 1},
    {"MarkerCutOffAfterName", "# 1 \"f\"", "11", 1},
    {"MarkerCutOffInName", "# 1 \"f", "11", 1},
    {"MarkerCutOffInFlags", "# 1 \"f\" 2", "11", 1},
    {"LoneHashAtEnd", "#", "11", 1},
};
INSTANTIATE_TEST_SUITE_P(Lines, LexerTokens, testing::ValuesIn(kLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

const LexCase kKeywordCases[] = {
    {"MixedCaseMnemonicBecomesUpperCase", "MoV r1, R2", "53'MOV' 75'r1' 3',' 76'R2' 11", 0},
    {"LabelAndJump", "label: jmp label", "10'label' 52':' 65'jmp' 10'label' 11", 0},
    {"NegatedJumpInMixedCase", "jmpNZ", "69'JMPNZ' 11", 0},
    {"SectionNamesOnlyInLowerCase", ".text .data .TEXT .Data", "50'.text' 51'.data' 10'.TEXT' 10'.Data' 11", 0},
    {"NearKeywordsAreIdentifiers", "r8 R10 jmpn jmpzz movx mov.",
     "10'r8' 10'R10' 10'jmpn' 10'jmpzz' 10'movx' 10'mov.' 11", 0},
    {"IdentifierWithDotsAndDigits", "a.b_c9", "10'a.b_c9' 11", 0},
    {"SeparatorInAnyCase", "__NEW_LINE__ __new_Line__", "26'__NEW_LINE__' 26'__NEW_LINE__' 11", 0},
};
INSTANTIATE_TEST_SUITE_P(Keywords, LexerTokens, testing::ValuesIn(kKeywordCases),
                         [](const auto& info) { return std::string(info.param.name); });

const LexCase kHostileCases[] = {
    {"EmptyInput", "", "11", 0},
    {"Dollar", "$ mov r1, r2", "11", 1},
    {"NulByte", std::string("a\0b", 3), "10'a' 11", 1},
    {"HighByte", "a\x80", "10'a' 11", 1},
    {"ByteFF", "\xff", "11", 1},
};
INSTANTIATE_TEST_SUITE_P(Hostile, LexerTokens, testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A lexer reading from its own buffer, for the history tests.
class LexerHistory : public testing::Test {
protected:
    void SetUp() override
    {
        m_lexer.m_diag = &m_diag;
        m_lexer.start(&m_buffer);
    }

    CDiagnosticMsgHandler m_diag;
    CFileBuffer m_buffer{"mov r1, r2\n"};
    CVornLexer m_lexer;
};

TEST_F(LexerHistory, ReplaysFromTheHistoryWithoutScanning)
{
    EXPECT_EQ(m_lexer.unget().m_id, TOK_NONE);
    EXPECT_EQ(m_lexer.next().m_id, TOK_MOV);
    const std::size_t scanned = m_buffer.m_pos;
    EXPECT_EQ(m_lexer.unget().m_id, TOK_MOV);
    EXPECT_EQ(m_lexer.peek().m_text, "mov");
    EXPECT_EQ(m_lexer.next().m_text, "mov");
    EXPECT_EQ(m_buffer.m_pos, scanned);
    EXPECT_EQ(m_lexer.historySize(), 1u);
}

TEST_F(LexerHistory, SavedCursorReplaysAcrossInputsAndEndRepeats)
{
    for (int i = 0; i < 5; ++i) {
        m_lexer.next();
    }
    CFileBuffer other("jmp");
    m_lexer.m_input = &other;
    m_lexer.m_cursor = 1;
    EXPECT_EQ(m_lexer.next().m_text, "r1");
    m_lexer.m_cursor = 5;
    EXPECT_EQ(m_lexer.next().m_id, TOK_JMP);
    EXPECT_EQ(m_lexer.next().m_id, TOK_END);
    EXPECT_EQ(m_lexer.next().m_id, TOK_END);
    EXPECT_EQ(m_lexer.historySize(), 8u);
}

TEST_F(LexerHistory, TokensBetweenClampsToTheHistory)
{
    for (int i = 0; i < 4; ++i) {
        m_lexer.next();
    }
    const std::vector<CToken> middle = m_lexer.tokensBetween(1, 3);
    ASSERT_EQ(middle.size(), 2u);
    EXPECT_EQ(middle[0].m_text, "r1");
    EXPECT_EQ(middle[1].m_id, TOK_COMMA);
    EXPECT_EQ(m_lexer.tokensBetween(2, 100).size(), 2u);
    EXPECT_TRUE(m_lexer.tokensBetween(4, 10).empty());
    EXPECT_TRUE(m_lexer.tokensBetween(3, 1).empty());
}

// Released tokens are gone, but indexes keep counting from the first token.
TEST_F(LexerHistory, ReleasedTokensKeepIndexesAbsolute)
{
    for (int i = 0; i < 3; ++i) {
        m_lexer.next();
    }
    m_lexer.releaseHistoryBefore(2);
    EXPECT_EQ(m_lexer.historySize(), 3u);
    EXPECT_EQ(m_lexer.historyAt(2).m_id, TOK_COMMA);
    const std::vector<CToken> kept = m_lexer.tokensBetween(0, 4);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].m_id, TOK_COMMA);

    m_lexer.m_cursor = 2;
    EXPECT_EQ(m_lexer.next().m_id, TOK_COMMA);
    EXPECT_EQ(m_lexer.next().m_text, "r2");
    EXPECT_EQ(m_lexer.unget().m_text, "r2");
    EXPECT_EQ(m_lexer.unget().m_id, TOK_COMMA);
    EXPECT_EQ(m_lexer.unget().m_id, TOK_NONE);
    // A cursor behind the kept tokens resumes at the oldest one.
    m_lexer.m_cursor = 0;
    EXPECT_EQ(m_lexer.next().m_id, TOK_COMMA);
    m_lexer.releaseHistoryBefore(100);
    EXPECT_EQ(m_lexer.historySize(), 4u);
    EXPECT_EQ(m_lexer.next().m_id, TOK_NEWLINE);
}

TEST_F(LexerHistory, StartForgetsTheHistoryOfTheLastInput)
{
    m_lexer.next();
    m_lexer.next();
    CFileBuffer other("jmp");
    m_lexer.start(&other);
    EXPECT_EQ(m_lexer.m_cursor, 0);
    EXPECT_EQ(m_lexer.historySize(), 0u);
    EXPECT_EQ(m_lexer.unget().m_id, TOK_NONE);
    EXPECT_EQ(m_lexer.next().m_id, TOK_JMP);
    EXPECT_EQ(m_lexer.next().m_id, TOK_END);
}

// Where each token stands: offset+length, separated by blanks.
std::string places(const std::string& input)
{
    CVornLexer lexer;
    CFileBuffer buffer(input);
    lexer.start(&buffer);
    std::string text;
    for (int count = 0; count < 100; ++count) {
        const CToken& token = lexer.next();
        text += (text.empty() ? "" : " ") + std::to_string(token.m_offset) + "+" + std::to_string(token.m_length);
        if (token.m_id == TOK_END) {
            break;
        }
    }
    return text;
}

TEST(TokenPlaces, CoverTheBytesAsWrittenWithoutTheBlanksBefore)
{
    struct Case {
        const char* input;
        const char* places;
    };
    const Case cases[] = {
        {"  mov r1,  r2\n", "2+3 6+2 8+1 11+2 13+1 14+0"},
        {"0x1F+7", "0+4 4+1 5+1 6+0"},
        {"a>>b<<c", "0+1 1+2 3+1 4+2 6+1 7+0"},
        {"017 99999999999", "0+3 4+11 15+0"},
        // A line comment is a newline token from its first byte through the line feed.
        {"a ; note\nb", "0+1 2+7 9+1 10+0"},
        {"/* x */ y", "0+7 8+1 9+0"},
        // The marker takes its carriage return; the newline stays a token of its own.
        {"# 3 \"f.s\" 1\r\nx", "0+12 12+1 13+1 14+0"},
        {"\tlabel:\r\n", "1+5 6+1 8+1 9+0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(places(c.input), c.places) << testing::PrintToString(std::string(c.input));
    }
}

TEST(UnrecognizedInput, IsReportedOnceWithTheByteAndItsPlace)
{
    struct Case {
        std::string input;
        const char* detail;
        std::size_t offset;
    };
    const Case cases[] = {
        {"mov $", "unrecognized character '$'", 4},
        {"a>2", "unrecognized character '>'", 1},
        {"# 1 f\n", "unrecognized character '#'", 0},
        {"x @@", "unrecognized character '@'", 2},
        {"mov r1,\n  r2 @ x", "unrecognized character '@'", 13},
        {"a\x80", "unrecognized byte 0x80", 1},
        {std::string("\0", 1), "unrecognized byte 0x00", 0},
        {"  \xff", "unrecognized byte 0xff", 2},
        {"\x7f", "unrecognized byte 0x7f", 0},
        {"\x01", "unrecognized byte 0x01", 0},
    };
    for (const Case& c : cases) {
        const Lexed lexed = lexAll(c.input);
        ASSERT_EQ(lexed.diagnostics.size(), 1u) << testing::PrintToString(c.input);
        const CDiagnostic& diagnostic = lexed.diagnostics[0];
        EXPECT_EQ(diagnostic.code, 1305);
        EXPECT_EQ(diagnostic.text, "Unrecognized token.");
        EXPECT_EQ(diagnostic.line, -1);
        EXPECT_EQ(diagnostic.fileIndex, -1);
        EXPECT_EQ(diagnostic.detail, c.detail) << testing::PrintToString(c.input);
        EXPECT_EQ(diagnostic.span.offset, c.offset) << testing::PrintToString(c.input);
        EXPECT_EQ(diagnostic.span.length, 1u);
    }
}

TEST(UnrecognizedInput, EndsTheInputQuietlyWithoutAHandler)
{
    CVornLexer lexer;
    CFileBuffer buffer("a $ b");
    lexer.start(&buffer);
    EXPECT_EQ(lexer.next().m_id, TOK_IDENTIFIER);
    EXPECT_EQ(lexer.next().m_id, TOK_END);
    EXPECT_EQ(lexer.next().m_id, TOK_END);
}

TEST(TolerantReading, MakesEachUnrecognizedByteATokenAndGoesOn)
{
    CDiagnosticMsgHandler diag;
    CVornLexer lexer;
    lexer.m_diag = &diag;
    lexer.m_tolerant = true;
    CFileBuffer buffer("a $ b\x80" "c @@\n");
    lexer.start(&buffer);
    std::string tokens;
    for (const CToken* token = &lexer.next(); token->m_id != TOK_END; token = &lexer.next()) {
        tokens += (tokens.empty() ? "" : " ") + describe(*token) + "@" + std::to_string(token->m_offset) + "+" +
                  std::to_string(token->m_length);
    }
    EXPECT_EQ(tokens, "10'a'@0+1 0'$'@2+1 10'b'@4+1 0'\x80'@5+1 10'c'@6+1 0'@'@8+1 0'@'@9+1 12@10+1");
    EXPECT_TRUE(diag.diagnostics().empty());
}

TEST(VornLexerTables, ColonComesFirstAndKeywordsAreComplete)
{
    CVornLexer lexer;
    ASSERT_EQ(lexer.m_operators.size(), 19u);
    EXPECT_EQ(lexer.m_operators.front().text, ":");
    EXPECT_EQ(lexer.m_operators.front().id, TOK_COLON);
    EXPECT_EQ(lexer.m_operators[1].text, ",");
    ASSERT_EQ(lexer.m_keywords.size(), 61u);
    // Sorted, each spelling once: the lexer's search relies on it.
    for (std::size_t i = 1; i < lexer.m_keywords.size(); ++i) {
        EXPECT_LT(lexer.m_keywords[i - 1].text, lexer.m_keywords[i].text);
    }
    auto idOf = [&](std::string_view text) {
        for (const CLexeme& entry : lexer.m_keywords) {
            if (entry.text == text) {
                return entry.id;
            }
        }
        return std::int32_t{TOK_NONE};
    };
    EXPECT_EQ(idOf("__NEW_LINE__"), TOK_SEPARATOR);
    EXPECT_EQ(idOf("ASHR"), TOK_ASHR);
    EXPECT_EQ(idOf(".TEXT"), TOK_NONE);
}

}  // namespace
