#include <gtest/gtest.h>

#include <string>

#include "util/TextLine.h"

namespace {

using namespace std::string_literals;

// The line around an offset: where it starts, and its text without the line
// break (also a CR LF one).
TEST(TextLine, LineAroundAnOffset)
{
    struct Case {
        std::string text;
        std::size_t offset;
        std::size_t start;
        const char* line;
    };
    const Case cases[] = {
        {"ab\ncd\nef", 0, 0, "ab"},
        {"ab\ncd\nef", 2, 0, "ab"},    // the line feed belongs to the line it ends
        {"ab\ncd\nef", 3, 3, "cd"},
        {"ab\ncd\nef", 8, 6, "ef"},    // at the end: the last line
        {"ab\ncd\nef", 100, 6, "ef"},  // beyond the end: the same
        {"ab\r\ncd", 1, 0, "ab"},
        {"ab\r\ncd", 4, 4, "cd"},
        {"a\r", 0, 0, "a"},
        {"\r\n", 0, 0, ""},
        {"ab\n", 3, 3, ""},            // after a final line feed: an empty line
        {"", 0, 0, ""},
        {"x\n\ny", 2, 2, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextLine::startOf(c.text, c.offset), c.start) << c.text << " @" << c.offset;
        EXPECT_EQ(TextLine::around(c.text, c.offset), c.line) << c.text << " @" << c.offset;
    }
}

// Control characters but the tab become "?", so a message stays on its
// lines and cannot drive the terminal; other bytes, UTF-8 too, stay.
TEST(TextLine, OneLineShowsControlCharactersAsQuestionMarks)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain text", "plain text"},
        {"a\tb", "a\tb"},
        {"a\nb\rc", "a?b?c"},
        {"\x1b[31mred", "?[31mred"},
        {"nul\0end"s, "nul?end"},
        {"caf\xc3\xa9 \xff", "caf\xc3\xa9 \xff"},
        {"", ""},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(TextLine::oneLine(text), shown) << text;
    }
}

}  // namespace
