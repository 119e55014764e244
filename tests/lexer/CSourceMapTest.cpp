#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "core/CFileIndexMap.h"
#include "lexer/CSourceMap.h"

// Places print as file:line:column+length in failures.
static void PrintTo(const CSourcePos& pos, std::ostream* os)
{
    *os << pos.fileIndex << ":" << pos.line << ":" << pos.column << "+" << pos.length;
}

namespace {

// One place asked of a map: the preprocessed text and the user's files, the
// piece looked up (its first occurrence after `after`, in the preprocessed
// text), and where it must stand.
struct PlaceCase {
    const char* name;
    std::string preprocessed;
    CSourceTexts originals;
    std::string piece;
    std::string after;
    std::size_t length;
    const char* file;
    int line;
    int column;
    int width;
    std::string echo;
    std::string expansion;
};

void PrintTo(const PlaceCase& c, std::ostream* os)
{
    *os << c.name;
}

class SourcePlaces : public testing::TestWithParam<PlaceCase> {};

TEST_P(SourcePlaces, AreFoundInTheFileAsWritten)
{
    const PlaceCase& c = GetParam();
    CFileIndexMap files;
    files.getIndex("prog.s");
    const CSourceMap map(c.preprocessed, files, 0, c.originals);
    const std::size_t offset = c.preprocessed.find(c.piece, c.preprocessed.find(c.after));
    ASSERT_NE(offset, std::string::npos);
    const CLocation location = map.locate(offset, c.length);
    EXPECT_EQ(files.getName(location.pos.fileIndex), c.file);
    EXPECT_EQ(location.pos.line, c.line);
    EXPECT_EQ(location.pos.column, c.column);
    EXPECT_EQ(location.pos.length, c.width);
    EXPECT_EQ(location.echo, c.echo);
    EXPECT_EQ(location.expansion, c.expansion);
}

const std::string kMarker = "# 1 \"prog.s\"\n";

const PlaceCase kPlaceCases[] = {
    {"SameLine", kMarker + "mov r1, r2\n", {{"prog.s", "mov r1, r2\n"}}, "r2", "mov", 2, "prog.s", 1, 9, 2,
     "mov r1, r2", ""},
    {"BlanksCollapsed", kMarker + "  add R1,R2 , R3\n", {{"prog.s", "  add   R1,R2 ,  R3   \n"}}, "R3", "add", 2,
     "prog.s", 1, 18, 2, "  add   R1,R2 ,  R3   ", ""},
    {"CommentRemoved", kMarker + "mov R1, R2\n", {{"prog.s", "mov R1, /* old: R3 */ R2 // done\n"}}, "R2", "mov",
     2, "prog.s", 1, 23, 2, "mov R1, /* old: R3 */ R2 // done", ""},
    {"CommentOverLines", kMarker + "mov R1,\n\n R2\n", {{"prog.s", "mov R1, /* one\ntwo */\n R2\n"}}, "R2", "mov",
     2, "prog.s", 3, 2, 2, " R2", ""},
    {"ObjectMacro", kMarker + "\nmov R1, R2\n", {{"prog.s", "#define TWO R2\nmov R1, TWO\n"}}, "R2", "mov", 2,
     "prog.s", 2, 9, 3, "mov R1, TWO", "mov R1, R2"},
    {"TokenBeforeAMacro", kMarker + "\nmov R1, R2\n", {{"prog.s", "#define TWO R2\nmov R1, TWO\n"}}, "R1", "mov", 2,
     "prog.s", 2, 5, 2, "mov R1, TWO", ""},
    {"SpanIntoAMacro", kMarker + "\nmov R1, R2\n", {{"prog.s", "#define TWO R2\nmov R1, TWO\n"}}, "R1", "mov", 6,
     "prog.s", 2, 5, 7, "mov R1, TWO", ""},
    {"MacroOfSeveralTokens", kMarker + "\njmp loop + 2\n", {{"prog.s", "#define NEXT loop + 2\njmp NEXT\n"}}, "2",
     "jmp", 1, "prog.s", 2, 5, 4, "jmp NEXT", "jmp loop + 2"},
    {"FunctionMacro", kMarker + "\njmp loop\n", {{"prog.s", "#define J(x) jmp x\nJ(loop)\n"}}, "loop", "jmp", 4,
     "prog.s", 2, 1, 7, "J(loop)", "jmp loop"},
    {"IncludedFile", kMarker + "mov r1, r2\n# 1 \"inc.s\" 1\nadd r1, r2, r3\n# 2 \"prog.s\" 2\n",
     {{"prog.s", "mov r1, r2\n#include \"inc.s\"\n"}, {"inc.s", "add r1, r2,   r3\n"}}, "r3", "add", 2, "inc.s", 1,
     15, 2, "add r1, r2,   r3", ""},
    {"MarkerNumberGivesTheLine", kMarker + "# 5 \"prog.s\"\nst r1, r2\n", {{"prog.s", "\n\n\n\n  st r1, r2\n"}}, "r2",
     "st", 2, "prog.s", 5, 10, 2, "  st r1, r2", ""},
    {"BuiltInMarkerKeepsTheFile", kMarker + "# 2 \"<built-in>\"\nst r1, r2\n", {{"prog.s", "\nst   r1, r2\n"}},
     "r1", "st", 2, "prog.s", 2, 6, 2, "st   r1, r2", ""},
    {"CarriageReturnsInTheUsersFile", kMarker + "mov r1, r2\n", {{"prog.s", "mov r1,   r2\r\n"}}, "r2", "mov", 2,
     "prog.s", 1, 11, 2, "mov r1,   r2", ""},
    {"FileNotGiven", kMarker + "  mov r1, r2\n", {}, "r2", "mov", 2, "prog.s", 1, 11, 2, "  mov r1, r2", ""},
    {"OtherFileNotGiven", "# 1 \"inc.s\"\nmov r1, r2\n", {{"prog.s", "nothing\n"}}, "r1", "mov", 2, "inc.s", 1, 5,
     2, "mov r1, r2", ""},
    {"LineNotInTheFile", kMarker + "# 9 \"prog.s\"\nmov r1, r2\n", {{"prog.s", "mov r1, r2\n"}}, "r1", "mov", 2,
     "prog.s", 9, 5, 2, "mov r1, r2", ""},
    {"DifferentTokens", kMarker + "mov r1, r2\n", {{"prog.s", "mov r1, 5\n"}}, "r2", "mov", 2, "prog.s", 1, 9, 2,
     "mov r1, r2", ""},
    {"EmptyPieceAtTheEndOfALine", kMarker + "add r1, r2\n", {{"prog.s", "add   r1,   r2   \n"}}, "\n", "add", 1,
     "prog.s", 1, 15, 1, "add   r1,   r2   ", ""},
    {"NoLength", kMarker + "mov r1, r2\n", {{"prog.s", "mov  r1, r2\n"}}, "r1", "mov", 0, "prog.s", 1, 6, 0,
     "mov  r1, r2", ""},
};
INSTANTIATE_TEST_SUITE_P(Map, SourcePlaces, testing::ValuesIn(kPlaceCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A piece of an expansion that more of the expansion follows stands for the
// whole macro use too, wherever it ends.
TEST(SourceMap, PieceInsideAnExpansionCoversTheMacroUse)
{
    CFileIndexMap files;
    files.getIndex("prog.s");
    const CSourceTexts originals = {{"prog.s", "#define NEXT loop + 2\njmp NEXT\n#define BAD R8, R1\nmov BAD\n"}};
    const std::string text = kMarker + "\njmp loop + 2\n\nmov R8, R1\n";
    const CSourceMap map(text, files, 0, originals);
    EXPECT_EQ(map.locate(text.find("+"), 1).pos, (CSourcePos{0, 2, 5, 4}));
    EXPECT_EQ(map.locate(text.find("loop"), 6).pos, (CSourcePos{0, 2, 5, 4}));
    EXPECT_EQ(map.locate(text.find("R8"), 2).pos, (CSourcePos{0, 4, 5, 3}));
}

TEST(SourceMap, LinesBeforeAnyMarkerBelongToTheFirstFile)
{
    CFileIndexMap files;
    files.getIndex("prog.s");
    files.getIndex("main.s");
    const CSourceTexts originals = {{"main.s", "mov r1,   r2\n"}};
    const std::string text = ".text\nmov r1, r2\n";
    const CSourceMap map(text, files, 1, originals);
    // The parser counts these lines from 0, so the second line is line 1.
    const CLocation location = map.locate(text.find("r2"), 2);
    EXPECT_EQ(location.pos, (CSourcePos{1, 1, 11, 2}));
    EXPECT_EQ(location.echo, "mov r1,   r2");
    // Line 0 is in no file as written: it is shown as preprocessed.
    EXPECT_EQ(map.locate(1, 2).pos, (CSourcePos{1, 0, 2, 2}));
    EXPECT_EQ(map.locate(1, 2).echo, ".text");
}

// As the parser counts them, line numbers stop at the largest one.
TEST(SourceMap, LineCountSaturates)
{
    CFileIndexMap files;
    files.getIndex("prog.s");
    const CSourceTexts originals;
    const std::string text = "# 2147483647 \"big.s\"\n\n\nmov r1, r2\n";
    const CSourceMap map(text, files, 0, originals);
    EXPECT_EQ(map.locate(text.find("r1"), 2).pos, (CSourcePos{1, 2147483647, 5, 2}));
}

TEST(SourceMap, OffsetsBeyondTheTextHaveNoPlace)
{
    CFileIndexMap files;
    files.getIndex("prog.s");
    const CSourceTexts originals;
    const std::string text = kMarker + "mov r1, r2";
    const CSourceMap map(text, files, 0, originals);
    EXPECT_FALSE(map.locate(text.size() + 1, 1).pos.known());
    // The end of the text is the end of its last line.
    EXPECT_EQ(map.locate(text.size(), 1).pos, (CSourcePos{0, 1, 11, 1}));
}

TEST(SourceMap, PlacesInSeveralLinesInAnyOrder)
{
    CFileIndexMap files;
    files.getIndex("prog.s");
    const CSourceTexts originals = {{"prog.s", "mov  r1, r2\n\nadd r1,  r2, r3\n"}};
    const std::string text = kMarker + "mov r1, r2\n\nadd r1, r2, r3\n";
    const CSourceMap map(text, files, 0, originals);
    const std::size_t add = text.find("add");
    EXPECT_EQ(map.locate(text.find("r2", add), 2).pos, (CSourcePos{0, 3, 10, 2}));
    EXPECT_EQ(map.locate(text.find("r1"), 2).pos, (CSourcePos{0, 1, 6, 2}));
    EXPECT_EQ(map.locate(text.find("r3"), 2).pos, (CSourcePos{0, 3, 14, 2}));
}

// A diagnostic pointing at the given bytes, with the parser's line 9.
CDiagnostic pointingAt(std::size_t offset, std::size_t length)
{
    CDiagnostic diagnostic;
    diagnostic.line = 9;
    diagnostic.fileIndex = 0;
    diagnostic.pos = {0, 9, 0, 0};
    diagnostic.span = {offset, length};
    return diagnostic;
}

class PlacingDiagnostics : public testing::Test {
protected:
    PlacingDiagnostics() { m_files.getIndex("prog.s"); }

    std::size_t find(const std::string& piece, const std::string& after = "") const
    {
        return m_text.find(piece, m_text.find(after));
    }

    const std::string m_text = kMarker + "\nmov R1, R2\nst r1,   r2\n";
    const CSourceTexts m_originals = {{"prog.s", "#define TWO R2\nmov R1, TWO\nst r1,   r2\n"}};
    CFileIndexMap m_files;
    const CSourceMap m_map{m_text, m_files, 0, m_originals};
};

TEST_F(PlacingDiagnostics, GivesThePlaceAndTheLineToShow)
{
    CDiagnostic diagnostic = pointingAt(find("r2", "st"), 2);
    m_map.place(diagnostic);
    EXPECT_EQ(diagnostic.pos, (CSourcePos{0, 3, 10, 2}));
    EXPECT_EQ(diagnostic.echo, "st r1,   r2");
    EXPECT_TRUE(diagnostic.notes.empty());
    // The numbered message keeps the line the parser counted.
    EXPECT_EQ(diagnostic.line, 9);
}

TEST_F(PlacingDiagnostics, LeavesTheParsersLineWhereNothingIsPointedAt)
{
    CDiagnostic diagnostic = pointingAt(CTextSpan::kNone, 0);
    m_map.place(diagnostic);
    EXPECT_EQ(diagnostic.pos, (CSourcePos{0, 9, 0, 0}));
    EXPECT_EQ(diagnostic.echo, "");
}

TEST_F(PlacingDiagnostics, NotesAnExpansionFirstAndPlacesTheOtherNotes)
{
    CDiagnostic diagnostic = pointingAt(find("R2", "mov"), 2);
    CDiagnosticNote first;
    first.text = "the first definition is here";
    first.span = {find("r1", "st"), 2};
    diagnostic.notes.push_back(first);
    CDiagnosticNote nowhere;
    nowhere.text = "said about no place";
    diagnostic.notes.push_back(nowhere);
    m_map.place(diagnostic);
    EXPECT_EQ(diagnostic.pos, (CSourcePos{0, 2, 9, 3}));
    EXPECT_EQ(diagnostic.echo, "mov R1, TWO");
    ASSERT_EQ(diagnostic.notes.size(), 3u);
    EXPECT_EQ(diagnostic.notes[0].text, "after macro expansion the line reads: mov R1, R2");
    EXPECT_EQ(diagnostic.notes[0].pos, (CSourcePos{0, 2, 0, 0}));
    EXPECT_EQ(diagnostic.notes[0].echo, "");
    EXPECT_EQ(diagnostic.notes[1].pos, (CSourcePos{0, 3, 4, 2}));
    EXPECT_EQ(diagnostic.notes[1].echo, "st r1,   r2");
    EXPECT_FALSE(diagnostic.notes[2].pos.known());
}

TEST_F(PlacingDiagnostics, ExpandedLineIsShownWithoutTheBlanksAround)
{
    const std::string text = kMarker + "\n  jmp   R1 \t\n";
    const CSourceTexts originals = {{"prog.s", "#define T R1\n  jmp   T \t\n"}};
    const CSourceMap map(text, m_files, 0, originals);
    CDiagnostic diagnostic = pointingAt(text.find("R1"), 2);
    map.place(diagnostic);
    EXPECT_EQ(diagnostic.pos, (CSourcePos{0, 2, 9, 1}));
    ASSERT_EQ(diagnostic.notes.size(), 1u);
    EXPECT_EQ(diagnostic.notes[0].text, "after macro expansion the line reads: jmp   R1");
}

// The user's files that lines of the text come from, each once: names of
// the preprocessor's own and files without a line of text are left out.
TEST(SourceMap, MarkedFilesAreTheUsersFilesWithText)
{
    const std::string text =
        "# 1 \"prog.s\"\n"
        "# 1 \"<built-in>\"\n"
        "# 1 \"<command-line>\"\n"
        "# 1 \"/usr/include/stdc-predef.h\" 1 3 4\n"
        "\n"
        "# 1 \"prog.s\"\n"
        "# 1 \"inc/defs.inc\" 1\n"
        "mov r1, r2 # 4 \"not.s\"\n"
        "#1 \"nor.s\"\n"
        "# 3 \"prog.s\" 2\n"
        "   jmp x\n"
        "# 9 \"inc/defs.inc\"\n"
        "not r1, r2\n"
        "# 7 \"last.s\"";
    EXPECT_EQ(CSourceMap::markedFiles(text), (std::vector<std::string>{"inc/defs.inc", "prog.s"}));
    EXPECT_TRUE(CSourceMap::markedFiles("").empty());
    EXPECT_TRUE(CSourceMap::markedFiles("# 2 \"a b.s\"\r\n  \n").empty());
    EXPECT_EQ(CSourceMap::markedFiles("# 2 \"a b.s\"\r\nx\n"), std::vector<std::string>{"a b.s"});
}

}  // namespace
