#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lsp/CLspText.h"
#include "support/LspHarness.h"
#include "support/TestSupport.h"

namespace {
using nlohmann::json;
using testsupport::LspHarness;

const char* const kProgram =
    ".text\n"                 // 0
    "top: sub R0, R0, R0\n"   // 1  @0
    "#include \"lib.inc\"\n"  // 2  @1 shared, @2
    "loop: inc R1, R1\n"      // 3  @3
    "  jmpnz loop\n"          // 4
    "  jmp shared\n"          // 5
    "  jmp top\n"             // 6  @6
    ".data\n"                 // 7
    "table: 1, 2\n"           // 8  @0, @1
    "ptr: table\n";           // 9  @2

const char* const kLibrary =
    "shared: dec R1, R1\n"  // 0
    "  jmp top\n";          // 1

// A place as "file:line:start-end" (UTF-16 characters), to compare lists of them.
std::string placeOf(const json& location, const std::string& folder)
{
    std::string file = CLspUri::toPath(location["uri"].get<std::string>());
    file = file.substr(0, folder.size()) == folder ? file.substr(folder.size() + 1) : file;
    const json& range = location["range"];
    EXPECT_EQ(range["start"]["line"], range["end"]["line"]);
    return file + ":" + std::to_string(range["start"]["line"].get<int>()) + ":" +
           std::to_string(range["start"]["character"].get<int>()) + "-" +
           std::to_string(range["end"]["character"].get<int>());
}

class CLspNavigationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::writeFile(m_dir.path() / "lib.inc", kLibrary);
        m_uri = m_lsp.open(m_dir.path() / "a.s", kProgram);
    }

    std::vector<std::string> places(const json& locations) const
    {
        std::vector<std::string> list;
        for (const json& location : locations) {
            list.push_back(placeOf(location, m_dir.path().string()));
        }
        std::sort(list.begin(), list.end());
        return list;
    }

    json renameAt(int line, int character, const std::string& newName)
    {
        json params = LspHarness::at(m_uri, line, character);
        params["newName"] = newName;
        return params;
    }

    testsupport::ScopedTempDir m_dir;
    LspHarness m_lsp;
    std::string m_uri;
};

TEST_F(CLspNavigationTest, DefinitionOfTheLabelUnderTheCursor)
{
    const struct {
        int line;
        int character;
        const char* place;  // null: no definition
    } cases[] = {
        {6, 7, "a.s:1:0-3"},     // a use
        {6, 9, "a.s:1:0-3"},     // just after it
        {1, 1, "a.s:1:0-3"},     // the definition itself
        {5, 8, "lib.inc:0:0-6"}, // defined in the included file
        {9, 6, "a.s:8:0-5"},     // a data label used as a data word
        {4, 3, nullptr},         // a mnemonic
        {8, 7, nullptr},         // a number
        {0, 2, nullptr},         // a directive
    };
    for (const auto& entry : cases) {
        const json location =
            m_lsp.request("textDocument/definition", LspHarness::at(m_uri, entry.line, entry.character));
        if (entry.place == nullptr) {
            EXPECT_EQ(location, json()) << entry.line << ":" << entry.character;
        } else {
            ASSERT_TRUE(location.is_object()) << entry.line << ":" << entry.character;
            EXPECT_EQ(placeOf(location, m_dir.path().string()), entry.place) << entry.line << ":" << entry.character;
        }
    }
}

TEST_F(CLspNavigationTest, ReferencesInEveryFileWithTheDefinitionWhenAsked)
{
    const struct {
        int line;
        int character;
        bool declaration;
        std::vector<std::string> places;
    } cases[] = {
        {1, 0, false, {"a.s:6:6-9", "lib.inc:1:6-9"}},
        {1, 0, true, {"a.s:1:0-3", "a.s:6:6-9", "lib.inc:1:6-9"}},
        {5, 9, true, {"a.s:5:6-12", "lib.inc:0:0-6"}},
        {4, 9, false, {"a.s:4:8-12"}},
        {9, 1, false, {}},
    };
    for (const auto& entry : cases) {
        json params = LspHarness::at(m_uri, entry.line, entry.character);
        params["context"] = {{"includeDeclaration", entry.declaration}};
        EXPECT_EQ(places(m_lsp.request("textDocument/references", params)), entry.places)
            << entry.line << ":" << entry.character;
    }
    EXPECT_EQ(m_lsp.request("textDocument/references", LspHarness::at(m_uri, 4, 3)), json());
}

TEST_F(CLspNavigationTest, RenameChangesTheDefinitionAndEveryUseInTheirFiles)
{
    const json edit = m_lsp.request("textDocument/rename", renameAt(6, 7, "start"));
    ASSERT_TRUE(edit.contains("changes")) << edit.dump();
    std::vector<std::string> changed;
    for (const auto& [uri, edits] : edit["changes"].items()) {
        for (const json& each : edits) {
            EXPECT_EQ(each["newText"], "start");
            changed.push_back(placeOf({{"uri", uri}, {"range", each["range"]}}, m_dir.path().string()));
        }
    }
    std::sort(changed.begin(), changed.end());
    EXPECT_EQ(changed, (std::vector<std::string>{"a.s:1:0-3", "a.s:6:6-9", "lib.inc:1:6-9"}));

    const json prepared = m_lsp.request("textDocument/prepareRename", LspHarness::at(m_uri, 4, 10));
    EXPECT_EQ(prepared["placeholder"], "loop");
    EXPECT_EQ(placeOf({{"uri", m_uri}, {"range", prepared["range"]}}, m_dir.path().string()), "a.s:4:8-12");
    EXPECT_EQ(m_lsp.request("textDocument/prepareRename", LspHarness::at(m_uri, 4, 3)), json());
}

TEST_F(CLspNavigationTest, RenameRefusesNamesNoLabelMayHave)
{
    const struct {
        int line;
        int character;
        const char* newName;
        const char* says;
    } cases[] = {
        {1, 0, "mov", "'mov' is an instruction"},
        {1, 0, "JMPNZ", "an instruction"},
        {1, 0, "R3", "'R3' is a register"},
        {1, 0, ".text", "'.text' is a directive"},
        {1, 0, "9abc", "'9abc' cannot name a label"},
        {1, 0, "two words", "cannot name a label"},
        {1, 0, "", "cannot name a label"},
        {1, 0, "loop", "there is a label 'loop' already"},
        {4, 3, "fresh", "no label here"},
        {8, 7, "fresh", "no label here"},
    };
    for (const auto& entry : cases) {
        const json error =
            m_lsp.requestError("textDocument/rename", renameAt(entry.line, entry.character, entry.newName));
        ASSERT_TRUE(error.is_object()) << entry.newName;
        EXPECT_EQ(error["code"], -32803) << entry.newName;
        EXPECT_NE(error["message"].get<std::string>().find(entry.says), std::string::npos)
            << entry.newName << ": " << error["message"];
    }
}

TEST(CLspNavigation, RenameRefusesALabelAMacroNamesElsewhere)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    // The use at line 3 is the macro's; renaming there would corrupt "GO".
    const std::string uri = lsp.open(dir.path() / "a.s", "#define GO jmp top\n.text\ntop: mov R1, R2\n  GO\n");
    json params = LspHarness::at(uri, 2, 1);
    params["newName"] = "start";
    for (const char* method : {"textDocument/rename", "textDocument/prepareRename"}) {
        const json error = lsp.requestError(method, params);
        ASSERT_TRUE(error.is_object()) << method;
        EXPECT_NE(error["message"].get<std::string>().find("a.s:4 comes from a macro"), std::string::npos)
            << error.dump();
    }
    // A macro whose arguments name the label is renamed inside them.
    lsp.change(uri, "#define TWICE(x) jmp x __NEW_LINE__ jmp x\n.text\ntop: mov R1, R2\n  TWICE(top)\n", 2);
    const json edit = lsp.request("textDocument/rename", params);
    ASSERT_EQ(edit["changes"][uri].size(), 2u) << edit.dump();
    EXPECT_EQ(edit["changes"][uri][1]["range"]["start"], json::parse(R"({"line":3,"character":8})"));
}

TEST(CLspNavigation, LabelsAreFoundWhenTheAssemblyStopped)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\nback: mov R1, R2\n  moc R1\n  jmp back ; größer\n");
    ASSERT_FALSE(lsp.diagnostics(uri).empty());
    const json location = lsp.request("textDocument/definition", LspHarness::at(uri, 3, 7));
    EXPECT_EQ(location["range"]["start"], json::parse(R"({"line":1,"character":0})"));
    json params = LspHarness::at(uri, 3, 7);
    params["newName"] = "again";
    EXPECT_EQ(lsp.request("textDocument/rename", params)["changes"][uri].size(), 2u);
    const json outline = lsp.request("textDocument/documentSymbol", {{"textDocument", {{"uri", uri}}}});
    ASSERT_EQ(outline.size(), 1u) << outline.dump();
    ASSERT_EQ(outline[0]["children"].size(), 1u) << outline.dump();
    EXPECT_EQ(outline[0]["children"][0]["name"], "back");
}

bool isBefore(const json& a, const json& b)
{
    return a["line"] < b["line"] || (a["line"] == b["line"] && a["character"] < b["character"]);
}

bool holds(const json& outer, const json& inner)
{
    return !isBefore(inner["start"], outer["start"]) && !isBefore(outer["end"], inner["end"]);
}

// The outline as lines "name kind detail first-last", children indented;
// checks that every selection lies in its range and every child in its parent.
void flatten(const json& nodes, const json& parent, const std::string& indent, std::vector<std::string>& lines)
{
    for (const json& node : nodes) {
        EXPECT_TRUE(holds(node["range"], node["selectionRange"])) << node.dump();
        if (!parent.is_null()) {
            EXPECT_TRUE(holds(parent, node["range"])) << node.dump();
        }
        lines.push_back(indent + node["name"].get<std::string>() + " " + std::to_string(node["kind"].get<int>()) +
                        " " + node["detail"].get<std::string>() + " " +
                        std::to_string(node["range"]["start"]["line"].get<int>()) + "-" +
                        std::to_string(node["range"]["end"]["line"].get<int>()));
        if (node.contains("children")) {
            flatten(node["children"], node["range"], indent + "  ", lines);
        }
    }
}

TEST_F(CLspNavigationTest, OutlineOfSectionsAndTheirLabels)
{
    const json outline = m_lsp.request("textDocument/documentSymbol", {{"textDocument", {{"uri", m_uri}}}});
    std::vector<std::string> lines;
    flatten(outline, nullptr, "", lines);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         ".text 3 main, 7 words 0-6",
                         "  top 12 @0 1-1",
                         "  loop 12 @3 3-3",
                         "shared 12 @1, in lib.inc 2-2",
                         ".data 3 data, 3 words 7-10",
                         "  table 13 @0 8-8",
                         "  ptr 13 @2 9-9",
                     }));
}
}  // namespace
