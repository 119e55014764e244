#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/LspHarness.h"
#include "support/TestSupport.h"

namespace {
using nlohmann::json;
using testsupport::LspHarness;

// The marker of the cursor in the texts below.
constexpr char kCursor = '@';

struct Opened {
    std::string uri;
    std::size_t line = 0;
    std::size_t character = 0;
};

// Opens `text` with the cursor marker taken out; where the marker stood,
// in UTF-16 units.
Opened openAtCursor(LspHarness& lsp, const testsupport::ScopedTempDir& dir, std::string text)
{
    const std::size_t at = text.find(kCursor);
    Opened opened;
    for (std::size_t i = 0; i < at; ++i) {
        const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        opened.character = text[i] == '\n' ? 0 : opened.character + (continuation ? 0 : 1);
        opened.line += text[i] == '\n' ? 1 : 0;
    }
    text.erase(at, 1);
    opened.uri = lsp.open(dir.path() / "a.s", text);
    return opened;
}

std::vector<std::string> labelsOf(const json& items)
{
    std::vector<std::string> labels;
    for (const json& item : items) {
        labels.push_back(item["label"]);
    }
    return labels;
}

bool has(const std::vector<std::string>& labels, const std::string& label)
{
    return std::find(labels.begin(), labels.end(), label) != labels.end();
}

// The labels in the order an editor shows them.
std::vector<std::string> sortedLabels(json items)
{
    std::sort(items.begin(), items.end(), [](const json& a, const json& b) {
        return a["sortText"].get<std::string>() < b["sortText"].get<std::string>();
    });
    return labelsOf(items);
}

TEST(CLspCompletion, OffersWhatFitsTheContextOfTheCursor)
{
    const struct {
        const char* text;
        std::vector<std::string> offered;  // the first of them shown first; none: nothing is
        std::vector<std::string> notOffered;
    } cases[] = {
        // The start of a statement: mnemonics and directives, filtered by the word begun.
        {".text\n@", {"add", "mov", "jmpnz", "st", ".text", ".data"}, {"R0"}},
        {".text\n  ad@", {"add", "and"}, {"mov", "R0", ".data"}},
        {".text\n  AD@", {"ADD"}, {"add"}},
        {".text\n  jnz@", {"jmpnz"}, {"jmp", "jmpz"}},
        {".t@", {".text", ".data"}, {"mov"}},
        {".text\nloop: @", {"add", "mov", "inc"}, {"R1", "loop"}},
        {".text\nloop:d@", {"dec"}, {"mov"}},
        // Operands of register instructions.
        {".text\n  mov @", {"R0", "R7"}, {"mov", "loop"}},
        {".text\n  add R1, R2,@", {"R0", "R3"}, {"add"}},
        {".text\n  add R1, r@", {"r0", "r7"}, {"R0"}},
        {".text\n  mov R1@", {"R1"}, {"mov"}},
        {".text\n  mov R1 @", {}, {"R0", "mov"}},
        // Jump targets: the labels, wherever they are.
        {".text\nloop: inc R1, R1\n  jmpnz @\nend: jmp end\n.data\nv: 1", {"end", "loop", "v"}, {"R0", "mov"}},
        {".text\nloop: inc R1, R1\n  jmp lo@", {"loop"}, {"R0"}},
        // Data words: labels and numbers, no instructions.
        {".data\nlimit: 10\nptr: @", {"limit", ".text"}, {"mov", "R0"}},
        {".data\nlimit: 10\nptr: 1, @", {"limit"}, {"mov", ".text"}},
        // Nothing in comments, preprocessor lines and after directives.
        {".text\n  mov R1, R2 ; @", {}, {"R0", "mov"}},
        {".text\n  mov R1, /* r@ */ R2", {}, {"r0"}},
        {"#include @", {}, {"mov", ".text"}},
        {".text @", {}, {"mov"}},
    };
    for (const auto& entry : cases) {
        const testsupport::ScopedTempDir dir;
        LspHarness lsp;
        const Opened opened = openAtCursor(lsp, dir, entry.text);
        const json items =
            lsp.request("textDocument/completion", LspHarness::at(opened.uri, opened.line, opened.character));
        ASSERT_TRUE(items.is_array()) << entry.text << ": " << items.dump();
        const std::vector<std::string> labels = sortedLabels(items);
        if (entry.offered.empty()) {
            EXPECT_TRUE(labels.empty()) << entry.text << ": " << items.dump();
        } else if (!labels.empty()) {
            EXPECT_EQ(labels.front(), entry.offered.front()) << entry.text;
        }
        for (const std::string& label : entry.offered) {
            EXPECT_TRUE(has(labels, label)) << entry.text << ": " << label << " missing in " << items.dump();
        }
        for (const std::string& label : entry.notOffered) {
            EXPECT_FALSE(has(labels, label)) << entry.text << ": " << label << " offered";
        }
    }
}

TEST(CLspCompletion, ItemsReplaceTheWordBegunAndDescribeWhatTheyInsert)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    // The range counts UTF-16 units: the comment's letter is two bytes, one unit.
    const Opened opened = openAtCursor(lsp, dir, ".text\n/*é*/ ad@");
    const json items =
        lsp.request("textDocument/completion", LspHarness::at(opened.uri, opened.line, opened.character));
    ASSERT_EQ(items.size(), 2u) << items.dump();
    EXPECT_EQ(sortedLabels(items), (std::vector<std::string>{"add", "and"}));
    EXPECT_EQ(items[0]["kind"], 14);
    EXPECT_EQ(items[0]["detail"], "add Rd, Ra, Rb");
    EXPECT_EQ(items[0]["documentation"], "000001 ddd aaa bbb");
    EXPECT_EQ(
        items[0]["textEdit"],
        json::parse(R"({"newText":"add","range":{"start":{"line":1,"character":6},"end":{"line":1,"character":8}}})"));
}

TEST(CLspCompletion, EveryMnemonicCarriesItsUsageAndBitPattern)
{
    const struct {
        const char* name;
        const char* usage;
        const char* pattern;
    } rows[] = {
        {"mov", "mov Rd, Ra", "000000 ddd aaa xxx"},   {"ashr", "ashr Rd, Ra", "001011 ddd aaa xxx"},
        {"jmpnc", "jmpnc target", "010111 iiiiiiiii"}, {"ld", "ld Rd, Ra", "100000 ddd xxx aaa"},
        {"st", "st Ra, Rb", "110000 xxx aaa bbb"},
    };
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const Opened opened = openAtCursor(lsp, dir, ".text\n  @");
    const json items = lsp.request("textDocument/completion", LspHarness::at(opened.uri, 1, 2));
    std::size_t mnemonics = 0;
    for (const json& item : items) {
        if (item["label"].get<std::string>().front() == '.') {
            continue;
        }
        ++mnemonics;
        EXPECT_EQ(item["detail"].get<std::string>().rfind(item["label"].get<std::string>() + " ", 0), 0u) << item;
        EXPECT_FALSE(item["documentation"].get<std::string>().empty()) << item;
        for (const auto& row : rows) {
            if (item["label"] == row.name) {
                EXPECT_EQ(item["detail"], row.usage);
                EXPECT_EQ(item["documentation"], row.pattern);
            }
        }
    }
    EXPECT_EQ(mnemonics, 21u);
}

TEST(CLspCompletion, LabelsComeFirstAfterAJumpWithTheirWordAddresses)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const Opened opened =
        openAtCursor(lsp, dir, ".text\nstart: mov R1, R2\nloop: inc R1, R1\n  jmpnz loop\n  jmp @\n.data\nv: 1\n");
    // The line being written does not assemble yet: the addresses come from
    // the text as it stood...
    json items = lsp.request("textDocument/completion", LspHarness::at(opened.uri, opened.line, opened.character));
    EXPECT_EQ(sortedLabels(items), (std::vector<std::string>{"loop", "start", "v"}));
    // ...and once it does, each label says where it stands.
    lsp.change(opened.uri, ".text\nstart: mov R1, R2\nloop: inc R1, R1\n  jmpnz loop\n  jmp loop\n.data\nv: 1\n", 2);
    items = lsp.request("textDocument/completion", LspHarness::at(opened.uri, 4, 10));
    ASSERT_EQ(items.size(), 1u) << items.dump();
    EXPECT_EQ(items[0]["label"], "loop");
    EXPECT_EQ(items[0]["detail"], "@1");
    EXPECT_EQ(items[0]["kind"], 3);
}

TEST(CLspCompletion, AnOperandAfterACommaWithoutBlankGetsOne)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const Opened opened = openAtCursor(lsp, dir, ".text\n  mov R1,@");
    const json items =
        lsp.request("textDocument/completion", LspHarness::at(opened.uri, opened.line, opened.character));
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[2]["textEdit"]["newText"], " R2");
    EXPECT_EQ(items[2]["filterText"], "R2");
}
}  // namespace
