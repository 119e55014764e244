#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "lsp/CLspSemanticTokens.h"
#include "support/LspHarness.h"
#include "support/TestSupport.h"

namespace {
using nlohmann::json;
using testsupport::LspHarness;

struct Coloured {
    std::size_t line;
    std::size_t character;
    std::size_t length;
    std::string type;
    std::vector<std::string> modifiers;

    bool operator==(const Coloured&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Coloured& token)
{
    out << token.line << ':' << token.character << '+' << token.length << ' ' << token.type;
    for (const std::string& modifier : token.modifiers) {
        out << '.' << modifier;
    }
    return out;
}

// The tokens of a semanticTokens/full answer, decoded with the legend the
// server announces.
std::vector<Coloured> decode(const json& answer)
{
    const json legend = CLspSemanticTokens::legend();
    const json& data = answer["data"];
    EXPECT_EQ(data.size() % 5, 0u);
    std::vector<Coloured> tokens;
    std::size_t line = 0;
    std::size_t character = 0;
    for (std::size_t i = 0; i + 4 < data.size(); i += 5) {
        character = data[i] == 0 ? character + data[i + 1].get<std::size_t>() : data[i + 1].get<std::size_t>();
        line += data[i].get<std::size_t>();
        const auto type = data[i + 3].get<std::size_t>();
        EXPECT_LT(type, legend["tokenTypes"].size());
        std::vector<std::string> modifiers;
        for (std::size_t bit = 0; bit < legend["tokenModifiers"].size(); ++bit) {
            if ((data[i + 4].get<unsigned>() >> bit) & 1U) {
                modifiers.push_back(legend["tokenModifiers"][bit]);
            }
        }
        EXPECT_LT(data[i + 4].get<unsigned>(), 1U << legend["tokenModifiers"].size());
        const std::string name =
            type < legend["tokenTypes"].size() ? legend["tokenTypes"][type].get<std::string>() : "?";
        tokens.push_back({line, character, data[i + 2].get<std::size_t>(), name, modifiers});
    }
    return tokens;
}

json tokensOf(LspHarness& lsp, const std::string& uri)
{
    return lsp.request("textDocument/semanticTokens/full", {{"textDocument", {{"uri", uri}}}});
}

TEST(CLspSemanticTokens, ColoursEachTokenByWhatItIsInUtf16Units)
{
    const testsupport::ScopedTempDir dir;
    testsupport::writeFile(dir.path() / "defs.inc", "#define ONE R1\n");
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s",
                                     "; \xC3\xA9t\xC3\xA9 \xF0\x9F\x99\x82\n"  // é (one unit), 🙂 (two units)
                                     "#include \"defs.inc\"\n"
                                     "#define LIMIT 10\n"
                                     ".text\n"
                                     "start: mov ONE, LIMIT\n"
                                     "  jmp start /* \xC3\xBC */ + 2\n"
                                     ".data\n"
                                     "v: 0x10, 2 $ undefined\n");
    const std::vector<Coloured> expected = {
        {0, 0, 8, "comment", {}},
        {1, 0, 19, "macro", {}},
        {2, 0, 16, "macro", {}},
        {3, 0, 5, "keyword", {}},
        {4, 0, 5, "function", {"declaration"}},
        {4, 5, 1, "operator", {}},
        {4, 7, 3, "keyword", {}},
        {4, 11, 3, "macro", {}},
        {4, 14, 1, "operator", {}},
        {4, 16, 5, "macro", {}},
        {5, 2, 3, "keyword", {}},
        {5, 6, 5, "function", {}},
        {5, 12, 7, "comment", {}},
        {5, 20, 1, "operator", {}},
        {5, 22, 1, "number", {}},
        {6, 0, 5, "keyword", {}},
        {7, 0, 1, "function", {"declaration"}},
        {7, 1, 1, "operator", {}},
        {7, 3, 4, "number", {}},
        {7, 7, 1, "operator", {}},
        {7, 9, 1, "number", {}},
        // A stray byte stays uncoloured; what follows it is still read.
        {7, 13, 9, "function", {}},
    };
    EXPECT_EQ(decode(tokensOf(lsp, uri)), expected);
}

TEST(CLspSemanticTokens, ColourTheExamplesWithTheLegendsTypesInOrderWithoutOverlap)
{
    const std::filesystem::path examples = std::filesystem::path(ROZEDOV_SOURCE_DIR) / "examples";
    std::set<std::string> used;
    for (const char* name : {"count.s", "blink.s", "memcopy.s", "table.s"}) {
        LspHarness lsp;
        const std::string uri = lsp.open(examples / name, testsupport::readFile(examples / name));
        const std::vector<Coloured> tokens = decode(tokensOf(lsp, uri));
        ASSERT_FALSE(tokens.empty()) << name;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            EXPECT_GT(tokens[i].length, 0u) << name << ' ' << tokens[i];
            if (i > 0 && tokens[i].line == tokens[i - 1].line) {
                EXPECT_GE(tokens[i].character, tokens[i - 1].character + tokens[i - 1].length)
                    << name << ' ' << tokens[i];
            }
            used.insert(tokens[i].type);
        }
    }
    // Every type the legend names is one the examples need.
    std::set<std::string> announced;
    const json legend = CLspSemanticTokens::legend();
    for (const json& type : legend["tokenTypes"]) {
        announced.insert(type.get<std::string>());
    }
    EXPECT_EQ(used, announced);
}
}  // namespace
