#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "lsp/CLspAnalysis.h"
#include "lsp/CLspPreprocessor.h"
#include "lsp/CLspText.h"
#include "lsp/CLspTokens.h"
#include "support/LspHarness.h"
#include "support/TestSupport.h"

namespace {
using nlohmann::json;
using testsupport::LspHarness;

const std::filesystem::path kExamples = std::filesystem::path(ROZEDOV_SOURCE_DIR) / "examples";

// The text with the edits made, as an editor makes them.
std::string applied(std::string text, json edits)
{
    // From the end back, so that earlier places stay where they are.
    std::sort(edits.begin(), edits.end(), [](const json& a, const json& b) {
        const json& x = a["range"]["start"];
        const json& y = b["range"]["start"];
        return std::make_pair(x["line"].get<std::size_t>(), x["character"].get<std::size_t>()) >
               std::make_pair(y["line"].get<std::size_t>(), y["character"].get<std::size_t>());
    });
    for (const json& edit : edits) {
        const CLspText lines(text);
        const json& range = edit["range"];
        const std::size_t first = lines.offsetOf(range["start"]["line"], range["start"]["character"]);
        const std::size_t last = lines.offsetOf(range["end"]["line"], range["end"]["character"]);
        text.replace(first, last - first, edit["newText"].get<std::string>());
    }
    return text;
}

json formattingOf(LspHarness& lsp, const std::string& uri,
                  const json& options = {{"tabSize", 4}, {"insertSpaces", true}})
{
    return lsp.request("textDocument/formatting", {{"textDocument", {{"uri", uri}}}, {"options", options}});
}

// The text formatted in a folder `path` stands in (its includes are found there).
std::string formatted(const std::filesystem::path& path, const std::string& text)
{
    LspHarness lsp;
    const std::string uri = lsp.open(path, text);
    const json edits = formattingOf(lsp, uri);
    EXPECT_TRUE(edits.is_array()) << edits.dump();
    return applied(text, edits);
}

// A line's tokens, each as written.
std::vector<std::string> tokensOf(const std::string& text)
{
    std::vector<std::string> words;
    const CLspText lines(text);
    for (const CLspToken& token : CLspTokens::scan(text)) {
        words.push_back(std::string(lines.line(token.line).substr(token.column, token.length)));
    }
    return words;
}

// What the assembler makes of the text: both memories, every word with its
// line, and the lines and codes of the messages.
std::string assembled(const std::filesystem::path& path, const std::string& text)
{
    const auto analysis =
        CLspAnalysis::run(CLspUri::fromPath(path.string()), text, {}, CLspPreprocessor(ROZEDOV_CC1));
    const CAssemblyResult& result = analysis->result;
    std::string outcome = result.texts.code + result.texts.data;
    for (const CSectionWords& section : result.sections) {
        for (const CWord& word : section.words) {
            outcome += section.name + " " + std::to_string(word.address) + " " + std::to_string(word.value) + " line " +
                       std::to_string(word.pos.line) + "\n";
        }
    }
    for (const CDiagnostic& diagnostic : result.diagnostics) {
        outcome += std::string(diagnostic.kind == CDiagnostic::Error ? "error " : "message ") +
                   std::to_string(diagnostic.code) + " line " + std::to_string(diagnostic.pos.line) + "\n";
    }
    return outcome;
}

TEST(CLspFormatter, LinesUpLabelsMnemonicsOperandsAndComments)
{
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"start: sub R0,R0,R0 ; c", "start:  sub   R0, R0, R0      ; c"},
        {"\tmov\tR1 ,  R2\t\t", "        mov   R1, R2"},
        {"  jmpnz loop", "        jmpnz loop"},
        {"  jmp loop+1", "        jmp   loop+1"},
        {"  jmp  loop  +  ( 1 ) ; x", "        jmp   loop + ( 1 )    ; x"},
        {"  mov R1, /* a */ R2", "        mov   R1, /* a */ R2"},
        {"  MOV r1,r2", "        MOV   r1, r2"},
        {"  ashl R1, R2, R3, R4 ; too many", "        ashl  R1, R2, R3, R4  ; too many"},
        // Labels: alone at the start of the line, or before a statement.
        {"loop:", "loop:"},
        {"   loop :   ", "loop:"},
        {"loop: ; here", "loop:                         ; here"},
        {"a:b", "a:      b"},
        {"a:mov R1,R2", "a:      mov   R1, R2"},
        // Parts longer than their fields: one blank after them.
        {"squares: 0, 1,4", "squares: 0, 1, 4"},
        {"averyverylonglabel: jmpnz averyverylonglabel+2 ; c", "averyverylonglabel: jmpnz averyverylonglabel+2 ; c"},
        {"  add R1, R2, R3 /* a long remark */ ; c", "        add   R1, R2, R3 /* a long remark */ ; c"},
        // Directives and data words.
        {"  .text", ".text"},
        {".data ; words", ".data                         ; words"},
        {"x: 1 ,2", "x:      1, 2"},
        {"  ~0 , -2 ;c", "        ~0, -2                ;c"},
        {"  CLEAR(R1)", "        CLEAR(R1)"},
        // Comments alone: kept at the start, else with the statements or their comments.
        {"; top", "; top"},
        {"   ; indented", "        ; indented"},
        {"\t\t\t\t\t\t\t\t; far", "                              ; far"},
        {"  ; caf\xC3\xA9  ", "        ; caf\xC3\xA9"},
        {"   ", ""},
        // Left as written but for trailing blanks: two statements, stray bytes.
        {"  inc R1, R1 __NEW_LINE__ inc R2, R2   ", "  inc R1, R1 __NEW_LINE__ inc R2, R2"},
        {"  mov R1,  R2 $   ", "  mov R1,  R2 $"},
        // Left exactly as written: preprocessor lines.
        {"#define  X   1   ", "#define  X   1   "},
        {"  #  include \"x.inc\"\t", "  #  include \"x.inc\"\t"},
    };
    const testsupport::ScopedTempDir dir;
    for (const auto& entry : cases) {
        EXPECT_EQ(formatted(dir.path() / "a.s", entry.before), entry.after) << entry.before;
    }
}

TEST(CLspFormatter, LeavesLinesThePreprocessorJoinsAsTheyAre)
{
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"/* head\n   still   comment   \n*/   mov R1,R2\n  mov R1,R2\n",
         "/* head\n   still   comment   \n*/   mov R1,R2\n        mov   R1, R2\n"},
        {"  mov R1,R2 /* one */  \n  mov R1,R2 /* two\n  three */ \n",
         "        mov   R1, R2          /* one */\n  mov R1,R2 /* two\n  three */ \n"},
        // The preprocessor knows no ';' comments: a "/*" behind one opens a comment.
        {"  mov R1,R2 ; see /* x\n  add R1,R2,R3\n  */\n  inc R1,R1\n",
         "  mov R1,R2 ; see /* x\n  add R1,R2,R3\n  */\n        inc   R1, R1\n"},
        {"  mov R1,R2 // x /* y\n  inc R1,R1\n", "        mov   R1, R2          // x /* y\n        inc   R1, R1\n"},
        {"  mov R1,R2 \\\n  mov R3,R4\n  mov R5,R6\n", "  mov R1,R2 \\\n  mov R3,R4\n        mov   R5, R6\n"},
        {"#define A 1 \\\n   + 2\n  mov R1,R2\n", "#define A 1 \\\n   + 2\n        mov   R1, R2\n"},
        {"#define F(a, b) a, b\n  mov F(R1,\n     R2)\n  mov R1,R2\n",
         "#define F(a, b) a, b\n  mov F(R1,\n     R2)\n        mov   R1, R2\n"},
        {"  mov F(R1,\n  mov R1,R2\n", "  mov F(R1,\n  mov R1,R2\n"},
        {"  mov R1,R2\r  mov R3,R4\n  inc R1,R1\n", "  mov R1,R2\r  mov R3,R4\n        inc   R1, R1\n"},
        // Line ends stay as they are.
        {"start: mov R1,R2\r\n  jmp start \r\n", "start:  mov   R1, R2\r\n        jmp   start\r\n"},
    };
    const testsupport::ScopedTempDir dir;
    for (const auto& entry : cases) {
        EXPECT_EQ(formatted(dir.path() / "a.s", entry.before), entry.after) << entry.before;
    }
}

TEST(CLspFormatter, ChangesOnlyTheLinesThatNeedItAndCountsInUtf16)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri =
        lsp.open(dir.path() / "a.s", ".text\nstart:  mov   R1, R2 ; \xF0\x9F\x99\x82   \n        inc   R1, R1\n");
    const json edits = formattingOf(lsp, uri);
    ASSERT_EQ(edits.size(), 1u) << edits.dump();
    EXPECT_EQ(edits[0]["range"], json::parse(R"({"start":{"line":1,"character":0},"end":{"line":1,"character":28}})"));
    EXPECT_EQ(edits[0]["newText"], "start:  mov   R1, R2          ; \xF0\x9F\x99\x82");
}

// Programs with every shape the layout knows and those it leaves alone.
const char* const kTrickyPrograms[] = {
    "// tricky.s\n"
    "#define PAIR(a, b) a, b\n"
    "#define CLEAR(r) sub r, r, r\n"
    "#define TWO inc R1, R1 __NEW_LINE__ inc R2, R2\n"
    ".text\n"
    "start:mov R1,R2;c\n"
    "a:  inc R1 , R1   \n"
    "\tjmp\tstart+2\t// tab\n"
    "  CLEAR(R3)\n"
    "  mov PAIR(R4,\n"
    "     R5)\n"
    "/* block\n"
    "   comment */ mov R1, R2\n"
    " mov R1, R2 /* inline */ ; tail\n"
    "x: jmp loop+1\n"
    "loop: jmp x + 2 ; \xC3\xA9 \xC3\xBCn\xC3\xAF\n"
    "  TWO\n"
    "  inc R3, R3 __NEW_LINE__ inc R4, R4\n"
    "  jmp ( loop )\n"
    "  st R1 , R2 \\\n"
    "  ; joined to the line before\n"
    "\n"
    ".data\n"
    "v: 1 ,2,  3\n"
    "w:4\n"
    "   ~0 , -2 ; comment\n"
    "   x-1,loop+2\n",
    // With errors: the same messages on the same lines.
    ".text\r\n"
    "  moc R1,R2\r\n"
    "\tmov R8 ,R1\r\n"
    "  jmp lop\r\n"
    "loop: add R1 R2\r\n",
};

TEST(CLspFormatter, NeverChangesATokenAndFormatsItsOwnOutputUnchanged)
{
    std::vector<std::pair<std::filesystem::path, std::string>> programs;
    for (const char* name : {"count.s", "blink.s", "memcopy.s", "table.s"}) {
        programs.emplace_back(kExamples / name, testsupport::readFile(kExamples / name));
    }
    const testsupport::ScopedTempDir dir;
    for (const char* text : kTrickyPrograms) {
        programs.emplace_back(dir.path() / "tricky.s", text);
    }
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const auto& [path, text] = programs[i];
        const std::string once = formatted(path, text);
        EXPECT_EQ(tokensOf(once), tokensOf(text)) << path << "\n" << once;
        const std::string words = assembled(path, text);
        // All but the last assemble; the last has a mistake, kept as it was.
        EXPECT_EQ(words.find("error ") != std::string::npos, i + 1 == programs.size()) << words;
        EXPECT_NE(words.find(" line "), std::string::npos) << path;
        EXPECT_EQ(assembled(path, once), words) << path << "\n" << once;
        EXPECT_EQ(formatted(path, once), once) << path;
    }
}

TEST(CLspFormatter, TheExamplesAreInTheLayoutAlready)
{
    // (blink.s gives its operands a wider field.)
    for (const char* name : {"count.s", "memcopy.s"}) {
        LspHarness lsp;
        const std::string uri = lsp.open(kExamples / name, testsupport::readFile(kExamples / name));
        EXPECT_EQ(formattingOf(lsp, uri), json::array()) << name;
    }
}

TEST(CLspFormatter, TabsCountToTheEditorsTabStops)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", "\t\t\t; c\n");
    // Three tabs reach column 30 at 10 columns a stop, 12 at 4.
    EXPECT_EQ(applied("\t\t\t; c\n", formattingOf(lsp, uri, {{"tabSize", 10}, {"insertSpaces", false}})),
              std::string(30, ' ') + "; c\n");
    EXPECT_EQ(applied("\t\t\t; c\n", formattingOf(lsp, uri, {{"tabSize", 4}, {"insertSpaces", true}})),
              std::string(8, ' ') + "; c\n");
}
}  // namespace
