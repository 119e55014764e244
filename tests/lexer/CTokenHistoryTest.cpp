#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "lexer/CTokenHistory.h"

namespace {

// Appends tokens numbered from the current end, each with a text long enough
// to live outside the string's own storage.
void appendNumbered(CTokenHistory& history, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t index = history.end();
        CToken& token = history.append();
        token.m_id = TOK_IDENTIFIER;
        token.m_value = static_cast<std::int32_t>(index);
        token.m_text = "a_rather_long_token_text_" + std::to_string(index);
    }
}

// Every kept token still holds what was appended at its index.
void expectKeptIntact(const CTokenHistory& history)
{
    for (std::size_t index = history.begin(); index < history.end(); ++index) {
        const CToken& token = history.at(index);
        ASSERT_EQ(token.m_value, static_cast<std::int32_t>(index));
        ASSERT_EQ(token.m_text, "a_rather_long_token_text_" + std::to_string(index));
    }
}

TEST(CTokenHistory, KeptTokensNeverMoveWhileTheHistoryGrows)
{
    CTokenHistory history;
    appendNumbered(history, 3);
    const CToken* early = &history.at(1);
    appendNumbered(history, 2000);
    EXPECT_EQ(&history.at(1), early);
    EXPECT_EQ(history.end(), 2003u);
    expectKeptIntact(history);
}

struct ReleaseCase {
    const char* name;
    std::vector<std::size_t> appends;   // tokens appended before each release
    std::vector<std::size_t> releases;  // release index after each append step
    std::size_t begin;
    std::size_t end;
};

// Test names show the case's name, not its bytes.
void PrintTo(const ReleaseCase& c, std::ostream* os)
{
    *os << c.name;
}

class TokenHistoryRelease : public ::testing::TestWithParam<ReleaseCase> {};

// Indexes stay absolute across releases, released blocks come back for
// later tokens, and what is kept is never disturbed by that reuse.
TEST_P(TokenHistoryRelease, KeepsIndexesAndContents)
{
    const ReleaseCase& c = GetParam();
    CTokenHistory history;
    for (std::size_t step = 0; step < c.appends.size(); ++step) {
        appendNumbered(history, c.appends[step]);
        history.releaseBefore(c.releases[step]);
        expectKeptIntact(history);
    }
    EXPECT_EQ(history.begin(), c.begin);
    EXPECT_EQ(history.end(), c.end);
    EXPECT_EQ(history.empty(), c.begin == c.end);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, TokenHistoryRelease,
    ::testing::Values(ReleaseCase{"WithinOneBlock", {10}, {4}, 4, 10},
                      ReleaseCase{"AcrossBlockBoundaries", {700, 300}, {600, 900}, 900, 1000},
                      ReleaseCase{"EverythingThenMore", {512, 5}, {512, 512}, 512, 517},
                      ReleaseCase{"BeyondTheEndStopsAtTheEnd", {20}, {5000}, 20, 20},
                      ReleaseCase{"AnOlderIndexChangesNothing", {300, 10}, {280, 100}, 280, 310},
                      ReleaseCase{"StatementByStatement", {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
                                                           7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
                                  {6,   13,  20,  27,  34,  41,  48,  55,  62,  69,  76,  83,  90,  97,
                                   104, 111, 118, 125, 132, 139, 146, 153, 160, 167, 174, 181, 188, 195,
                                   202, 209, 216, 223, 230, 237, 244, 251, 258, 265, 272, 279},
                                  279, 280}),
    [](const ::testing::TestParamInfo<ReleaseCase>& info) { return std::string(info.param.name); });

// A token taken from a reused block starts cleared, not with what a
// released token left there.
TEST(CTokenHistory, ReusedStorageStartsCleared)
{
    CTokenHistory history;
    appendNumbered(history, 600);
    history.releaseBefore(600);
    for (int i = 0; i < 300; ++i) {
        const CToken& token = history.append();
        ASSERT_EQ(token.m_id, TOK_NONE);
        ASSERT_TRUE(token.m_text.empty());
        ASSERT_EQ(token.m_value, 0);
    }
    EXPECT_EQ(history.begin(), 600u);
    EXPECT_EQ(history.end(), 900u);
}

}  // namespace
