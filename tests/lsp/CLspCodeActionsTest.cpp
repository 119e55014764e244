#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/LspHarness.h"
#include "support/TestSupport.h"

namespace {
using nlohmann::json;
using testsupport::LspHarness;

json rangeOf(std::size_t line, std::size_t first, std::size_t last)
{
    return {{"start", {{"line", line}, {"character", first}}}, {"end", {{"line", line}, {"character", last}}}};
}

json actionsFor(LspHarness& lsp, const std::string& uri, const json& range, const json& sent = json::array())
{
    return lsp.request("textDocument/codeAction",
                       {{"textDocument", {{"uri", uri}}}, {"range", range}, {"context", {{"diagnostics", sent}}}});
}

std::vector<std::string> titlesOf(const json& actions)
{
    std::vector<std::string> titles;
    for (const json& action : actions) {
        titles.push_back(action["title"]);
    }
    return titles;
}

TEST(CLspCodeActions, ReplacesTheWordADiagnosticSuggests)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\n  moc R1, R2\n");
    const json actions = actionsFor(lsp, uri, rangeOf(1, 3, 3));
    ASSERT_EQ(actions.size(), 1u) << actions.dump();
    const json& action = actions[0];
    EXPECT_EQ(action["title"], "Replace 'moc' with 'mov'");
    EXPECT_EQ(action["kind"], "quickfix");
    EXPECT_EQ(action["isPreferred"], true);
    EXPECT_EQ(action["diagnostics"], lsp.diagnostics(uri));
    EXPECT_EQ(action["edit"], json({{"changes", {{uri, {{{"range", rangeOf(1, 2, 5)}, {"newText", "mov"}}}}}}}));
    // The same diagnostic sent back by the editor gives no second fix.
    EXPECT_EQ(actionsFor(lsp, uri, rangeOf(1, 3, 3), lsp.diagnostics(uri)), actions);
}

TEST(CLspCodeActions, OffersAFixOnlyWhereTheTextStillHoldsTheMisspeltWord)
{
    const struct {
        const char* text;
        json range;
        std::vector<std::string> titles;
    } cases[] = {
        {".text\nloop: jmp lop\n", rangeOf(1, 0, 20), {"Replace 'lop' with 'loop'"}},
        {".text\nloop: jmp lop\n  jmpnz lop\n", rangeOf(1, 0, 2), {}},
        {".text\nloop: jmp lop\n  jmpnz lop\n", rangeOf(0, 0, 2), {}},
        // A cursor at the end of the word is in its range.
        {".text\nloop: jmp lop\n  jmpnz lop\n", rangeOf(1, 13, 13), {"Replace 'lop' with 'loop'"}},
        {".text\nloop: jmp lop\n  jmpnz lop\n",
         {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 3}, {"character", 0}}}},
         {"Replace 'lop' with 'loop'", "Replace 'lop' with 'loop'"}},
        // Upper case and UTF-16 columns.
        {"/* \xC3\xA9 */ .text\n /* \xF0\x9F\x99\x82 */ MOC R1, R2\n",
         rangeOf(1, 10, 10),
         {"Replace 'MOC' with 'mov'"}},
        // A macro's name stands where the misspelt word came from: no fix.
        {"#define TARGET lop\n.text\nloop: jmp TARGET\n", rangeOf(2, 0, 20), {}},
        // No suggestion, nothing to offer.
        {".text\n  mov R8, R1\n  xyzzy R1\n", rangeOf(0, 0, 9), {}},
        {".text\n  mov R8, R1\n  xyzzy R1\n", rangeOf(1, 0, 9), {}},
        {".text\n  mov R8, R1\n  xyzzy R1\n", rangeOf(2, 0, 9), {}},
    };
    for (const auto& entry : cases) {
        const testsupport::ScopedTempDir dir;
        LspHarness lsp;
        const std::string uri = lsp.open(dir.path() / "a.s", entry.text);
        EXPECT_EQ(titlesOf(actionsFor(lsp, uri, entry.range)), entry.titles) << entry.text << entry.range;
    }
}

TEST(CLspCodeActions, DiagnosticsTheEditorSendsAreCheckedAgainstTheText)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\nloop: jmp loop\n");
    const auto sent = [](json range, const char* message, const char* source) {
        json diagnostic = {{"range", range}, {"message", message}, {"severity", 1}};
        if (source != nullptr) {
            diagnostic["source"] = source;
        }
        return diagnostic;
    };
    const struct {
        json diagnostic;
        std::vector<std::string> titles;
    } cases[] = {
        // From an older text: the word is not there any more.
        {sent(rangeOf(1, 10, 13), "undefined label 'lop'; did you mean 'loop'?", "rozedov"), {}},
        {sent(rangeOf(1, 10, 14), "undefined label 'lop'; did you mean 'loop'?", "rozedov"), {}},
        // Where it still is: the word is replaced.
        {sent(rangeOf(1, 6, 9), "unknown instruction 'jmp'; did you mean 'jmpz'?", nullptr),
         {"Replace 'jmp' with 'jmpz'"}},
        // Another tool's, or no suggestion, or one that is no word.
        {sent(rangeOf(1, 6, 9), "unknown instruction 'jmp'; did you mean 'jmpz'?", "other"), {}},
        {sent(rangeOf(1, 6, 9), "unknown instruction 'jmp'", "rozedov"), {}},
        {sent(rangeOf(1, 6, 9), "unknown instruction 'jmp'; did you mean 'a b'?", "rozedov"), {}},
        {sent(rangeOf(1, 6, 9), "unknown instruction 'jmp'; did you mean ''?", "rozedov"), {}},
        {sent(rangeOf(1, 6, 9), "unknown instruction 'jmp", "rozedov"), {}},
        {json("not a diagnostic"), {}},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(titlesOf(actionsFor(lsp, uri, rangeOf(1, 0, 14), json::array({entry.diagnostic}))), entry.titles)
            << entry.diagnostic;
    }
    EXPECT_FALSE(lsp.requestError("textDocument/codeAction", {{"textDocument", {{"uri", uri}}}}).is_null());
}

TEST(CLspCodeActions, SuggestsTheClosestLabelWhereTheMessageNamesNone)
{
    // With this many labels the assembler looks for no spelling.
    std::string text = ".data\n";
    for (int i = 0; i <= 10000; ++i) {
        text += "filler" + std::to_string(i) + ":\n";
    }
    text += "target: 1\n.text\n  jmp targte\n";
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", text);
    const std::size_t line = 10004;
    const json diagnostics = lsp.diagnostics(uri);
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_EQ(diagnostics.back()["message"], "undefined label 'targte'");
    const json actions = actionsFor(lsp, uri, rangeOf(line, 7, 7));
    ASSERT_EQ(actions.size(), 1u) << actions.dump();
    EXPECT_EQ(actions[0]["title"], "Replace 'targte' with 'target'");
    EXPECT_EQ(actions[0]["edit"]["changes"][uri][0]["range"], rangeOf(line, 6, 12));
}
}  // namespace
