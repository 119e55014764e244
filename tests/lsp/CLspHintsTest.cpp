#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lsp/CLspAnalysis.h"
#include "lsp/CLspHints.h"
#include "lsp/CLspPreprocessor.h"
#include "support/LspHarness.h"
#include "support/TestSupport.h"

namespace {
using nlohmann::json;
using testsupport::LspHarness;

// Words worked out from the instruction patterns: opcode << 9 | Rd << 6 | Ra << 3 | Rb.
const char* const kProgram =
    "; squares, größer als null\n"                               // 0
    "#define TWO inc R2, R2 __NEW_LINE__ dec R3, R3\n"          // 1
    ".text\n"                                                   // 2
    "  sub R0, R0, R0\n"                                        // 3  @0 0400
    "  inc R1, R0\n"                                            // 4  @1 0c40
    "loop:\n"                                                   // 5
    "  add R1, R1, R0 ; größer\n"                               // 6  @2 0248
    "  TWO\n"                                                   // 7  @3 0c90, @4 0ed8
    "  jmp loop ; \xF0\x9F\x99\x82\n"                           // 8  @5 2002
    "  st R5, R4\n"                                             // 9  @6 602c
    ".data\n"                                                   // 10
    "v: 1, 0x10\n"                                              // 11 @0 0001, @1 0010
    "  ~0\n";                                                   // 12 @2 ffff

json hintsOf(LspHarness& lsp, const std::string& uri, const json& range = nullptr)
{
    json params = {{"textDocument", {{"uri", uri}}}};
    if (!range.is_null()) {
        params["range"] = range;
    }
    return lsp.request("textDocument/inlayHint", params);
}

json rangeOf(int startLine, int startCharacter, int endLine, int endCharacter)
{
    return {{"start", {{"line", startLine}, {"character", startCharacter}}},
            {"end", {{"line", endLine}, {"character", endCharacter}}}};
}

struct Hint {
    int line;
    int character;  // UTF-16 units
    const char* label;
};

void expectHints(const json& hints, const std::vector<Hint>& expected)
{
    ASSERT_EQ(hints.size(), expected.size()) << hints.dump();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(hints[i]["position"]["line"], expected[i].line) << i;
        EXPECT_EQ(hints[i]["position"]["character"], expected[i].character) << i;
        EXPECT_EQ(hints[i]["label"], expected[i].label) << i;
        EXPECT_EQ(hints[i]["paddingLeft"], true) << i;
    }
}

TEST(CLspHints, EachLineThatMadeWordsEndsWithItsAddressesAndWords)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", kProgram);
    // Line 6 holds 27 bytes but 25 UTF-16 units; line 8's emoji takes two units.
    expectHints(hintsOf(lsp, uri), {
                                       {3, 16, "@0 0400"},
                                       {4, 12, "@1 0c40"},
                                       {6, 25, "@2 0248"},
                                       {7, 5, "@3 0c90  @4 0ed8"},
                                       {8, 15, "@5 2002"},
                                       {9, 11, "@6 602c"},
                                       {11, 10, "@0 0001  @1 0010"},
                                       {12, 4, "@2 ffff"},
                                   });
}

TEST(CLspHints, OnlyTheLinesOfTheAskedRange)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", kProgram);
    const struct {
        json range;
        std::vector<int> lines;
    } cases[] = {
        {rangeOf(4, 0, 7, 5), {4, 6, 7}},
        {rangeOf(0, 0, 2, 0), {}},
        {rangeOf(8, 0, 8, 15), {8}},
        {rangeOf(8, 0, 9, 0), {8}},  // the hint of line 9 stands after the range's end
        {rangeOf(11, 0, 40, 0), {11, 12}},
    };
    for (const auto& entry : cases) {
        std::vector<int> lines;
        for (const json& hint : hintsOf(lsp, uri, entry.range)) {
            lines.push_back(hint["position"]["line"].get<int>());
        }
        EXPECT_EQ(lines, entry.lines) << entry.range.dump();
    }
}

// Every line of a long document gets its hint, at its own address (the
// benchmark times it; no test does).
TEST(CLspHints, EveryLineOfAFiveHundredLineDocumentGetsItsHint)
{
    const testsupport::ScopedTempDir dir;
    std::string text = ".text\n";
    for (int i = 0; i < 250; ++i) {
        text += "l" + std::to_string(i) + ": add R1, R2, R3 ; größer\n  jmp l" + std::to_string(i) + "\n";
    }
    CLspDocument document;
    document.uri = CLspUri::fromPath((dir.path() / "big.s").string());
    document.text = text;
    document.lines = CLspText(document.text);
    document.tokens = CLspTokens::scan(document.text);
    document.analysis = CLspAnalysis::run(document.uri, document.text, {}, CLspPreprocessor(ROZEDOV_CC1));
    ASSERT_FALSE(document.analysis->result.stopped());
    const nlohmann::json hints = CLspHints::inlayHints(document, nlohmann::json::object());
    ASSERT_EQ(hints.size(), 500u);
    // add R1, R2, R3 = 000001 001 010 011; jmp to word 498 = 010000 111110010.
    EXPECT_EQ(hints[498]["label"], "@498 0253");
    EXPECT_EQ(hints[499]["label"], "@499 21f2");
}

struct HoverCase {
    int line;
    int character;
    std::vector<const char*> present;
    std::vector<const char*> absent;
    int rangeStart;  // on the same line; -1: not checked
    int rangeEnd;
};

TEST(CLspHints, HoverTellsWhatTheTokenOrTheLineIs)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", kProgram);
    const HoverCase cases[] = {
        // A mnemonic: its syntax, its pattern and its line's word.
        {6, 3, {"`add Rd, Ra, Rb`", "`000001DddSssSss`", "word @2", "`000001 | 001 | 001 | 000`", "0248"}, {}, 2, 5},
        {9, 2, {"`st Ra, Rb`", "`110000 | 000 | 101 | 100` (opcode | unused | Ra | Rb)", "602c"}, {}, 2, 4},
        // A register.
        {9, 6, {"R5: register 5, bits 101"}, {"word"}, 5, 7},
        {4, 11, {"R0: register 0, bits 000"}, {}, 10, 12},
        // A label where it is defined and where it is used.
        {5, 2, {"**loop**", "section main (.text)", "word address 2", "defined at a.s:6", "1 use"}, {}, 0, 4},
        {8, 7, {"**loop**", "word address 2", "1 use"}, {"jumps"}, 6, 10},
        {11, 0, {"**v**", "section data (.data)", "word address 0", "defined at a.s:12", "0 uses"}, {}, 0, 1},
        // Elsewhere on a line: its words; a jump's target.
        {8, 0, {"word @5", "`010000 | 000000010` (opcode | target)", "2002", "jumps to word 2", "`loop`", "which holds `0248`"}, {}, -1, -1},
        {7, 3, {"word @3", "0c90", "word @4", "0ed8"}, {}, 2, 5},
        {11, 7, {"data word @1", "`0000 0000 0001 0000`", "`0010`"}, {"@0"}, 6, 10},
        {12, 3, {"data word @2", "`1111 1111 1111 1111`", "`ffff`"}, {}, 3, 4},
        // Nothing to say: a comment line, a #define, a directive, past the end.
        {0, 4, {}, {}, -1, -1},
        {1, 10, {}, {}, -1, -1},
        {2, 2, {}, {}, -1, -1},
        {10, 3, {}, {}, -1, -1},
        {40, 0, {}, {}, -1, -1},
    };
    for (const HoverCase& entry : cases) {
        const std::string where = std::to_string(entry.line) + ":" + std::to_string(entry.character);
        const json hover = lsp.request("textDocument/hover", LspHarness::at(uri, entry.line, entry.character));
        if (entry.present.empty()) {
            EXPECT_EQ(hover, json()) << where;
            continue;
        }
        ASSERT_TRUE(hover.is_object()) << where;
        EXPECT_EQ(hover["contents"]["kind"], "markdown") << where;
        const std::string text = hover["contents"]["value"];
        for (const char* part : entry.present) {
            EXPECT_NE(text.find(part), std::string::npos) << where << " lacks " << part << " in\n" << text;
        }
        for (const char* part : entry.absent) {
            EXPECT_EQ(text.find(part), std::string::npos) << where << " has " << part << " in\n" << text;
        }
        if (entry.rangeStart >= 0) {
            EXPECT_EQ(hover["range"], rangeOf(entry.line, entry.rangeStart, entry.line, entry.rangeEnd)) << where;
        }
    }
}

TEST(CLspHints, NoWordsWhenTheAssemblyStopped)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\nhere: mov R1, R2\n  moc R1, R2\n  jmp here\n");
    const json mnemonic = lsp.request("textDocument/hover", LspHarness::at(uri, 1, 7));
    const std::string text = mnemonic["contents"]["value"];
    EXPECT_NE(text.find("`mov Rd, Ra`"), std::string::npos) << text;
    EXPECT_NE(text.find("the assembly stopped"), std::string::npos) << text;
    EXPECT_EQ(lsp.request("textDocument/hover", LspHarness::at(uri, 3, 0)), json());
    EXPECT_EQ(hintsOf(lsp, uri), json::array());
}
}  // namespace
