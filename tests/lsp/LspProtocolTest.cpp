// The built program as an editor runs it: `rozedov --lsp` in a child
// process, framed messages over its standard input and output.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "lsp/CLspText.h"
#include "lsp/CLspTokens.h"
#include "support/LspClient.h"
#include "support/TestSupport.h"

namespace {
namespace fs = std::filesystem;
using nlohmann::json;
using testsupport::LspClient;

// One message as both sides show it: 0-based line, UTF-16 column, severity, text.
struct Reported {
    int line = 0;
    int character = 0;
    int severity = 0;
    std::string text;

    auto key() const { return std::tie(line, character, severity, text); }
    bool operator<(const Reported& other) const { return key() < other.key(); }
    bool operator==(const Reported& other) const { return key() == other.key(); }
};

std::ostream& operator<<(std::ostream& out, const Reported& reported)
{
    return out << reported.line << ":" << reported.character << " [" << reported.severity << "] " << reported.text;
}

// The UTF-16 column of a 1-based byte column of a text's line (1-based).
int utf16Column(const std::string& text, int line, int byteColumn)
{
    const CLspText lines(text);
    return static_cast<int>(CLspText::utf16Column(lines.line(static_cast<std::size_t>(line - 1)),
                                                  static_cast<std::size_t>(byteColumn - 1)));
}

// What `rozedov prog.s`, run in `folder`, says with a place: "prog.s:L:C: kind: text".
std::vector<Reported> commandLineMessages(const fs::path& folder, const std::string& text)
{
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    testsupport::writeFile(folder / "prog.s", text);
    const testsupport::RunResult run = testsupport::runProcess({testsupport::assemblerBinary(), "prog.s"});
    fs::current_path(previous);
    static const std::regex kPlaced(R"(^prog\.s:(\d+):(\d+): (error|fatal error|warning): (.*)$)");
    std::vector<Reported> messages;
    std::istringstream lines(run.errors);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, kPlaced)) {
            const int lineNumber = std::stoi(match[1]);
            messages.push_back({lineNumber - 1, utf16Column(text, lineNumber, std::stoi(match[2])),
                                match[3] == "warning" ? 2 : 1, match[4]});
        }
    }
    std::sort(messages.begin(), messages.end());
    return messages;
}

// A publishDiagnostics notification's list the same way (a note's text aside).
std::vector<Reported> published(const json& notification)
{
    std::vector<Reported> messages;
    for (const json& item : notification["params"]["diagnostics"]) {
        const std::string message = item["message"];
        messages.push_back({item["range"]["start"]["line"], item["range"]["start"]["character"], item["severity"],
                            message.substr(0, message.find('\n'))});
    }
    std::sort(messages.begin(), messages.end());
    return messages;
}

// The names of every file under a folder.
std::set<std::string> filesUnder(const fs::path& folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        names.insert(entry.path().lexically_relative(folder).string());
    }
    return names;
}

// {"textDocument": {"uri"}}: what didSave, didClose and whole-document requests carry.
json documentOnly(const std::string& uri)
{
    return {{"textDocument", {{"uri", uri}}}};
}

TEST(LspProtocol, InitializeAnnouncesEveryFeature)
{
    LspClient lsp;
    const json result = lsp.initialize();
    const char* const kCapabilities[] = {
        "/hoverProvider",       "/inlayHintProvider",        "/definitionProvider",
        "/referencesProvider",  "/renameProvider",           "/completionProvider",
        "/documentSymbolProvider", "/codeActionProvider",    "/documentFormattingProvider",
    };
    const json& capabilities = result["capabilities"];
    for (const char* pointer : kCapabilities) {
        const json::json_pointer at(pointer);
        ASSERT_TRUE(capabilities.contains(at)) << pointer;
        EXPECT_NE(capabilities[at], false) << pointer;
    }
    EXPECT_EQ(capabilities["textDocumentSync"]["change"], 1);
    EXPECT_EQ(capabilities["textDocumentSync"]["openClose"], true);
    EXPECT_TRUE(capabilities["textDocumentSync"].contains("save"));
    EXPECT_EQ(capabilities["semanticTokensProvider"]["full"], true);
    EXPECT_FALSE(capabilities["semanticTokensProvider"]["legend"]["tokenTypes"].empty());
    EXPECT_EQ(result["serverInfo"]["name"], "rozedov");
}

// Each text, opened, changed to and saved, gets the command line's messages
// at the command line's lines and columns (counted in UTF-16 for the editor).
TEST(LspProtocol, DiagnosticsAreTheCommandLinesOnOpenChangeAndSave)
{
    const char* const kPrograms[] = {
        ".text\n  moc R1, R2\n",
        ".text\n  add R1, R2\n",
        ".text\n  mov R8, R1\n",
        ".text\nstart: jmp strat\n",
        ".text\n/* \xc3\xa9\xe2\x82\xac */ moc R1, R2\n",
        ".text\n\tmoc R1, R2 ; \xf0\x9f\x98\x80\n  jmp 3\n\xf0\x9f\x98\x80 ld R1, R2\n",
        ".data\nv: 70000\n",
        "#include \"missing.inc\"\n.text\n",
        "#if 1\n#error stop here\n#endif\n",
        ".text\n  mov R1, R2\n",
    };
    const testsupport::ScopedTempDir dir;
    fs::create_directory(dir.path() / "cli");
    fs::create_directory(dir.path() / "editor");
    LspClient lsp(dir.path() / "editor");
    lsp.initialize();
    const std::string uri = lsp.open(dir.path() / "editor" / "prog.s", "");
    lsp.nextDiagnostics(uri);
    int version = 1;
    for (const char* text : kPrograms) {
        const std::vector<Reported> expected = commandLineMessages(dir.path() / "cli", text);
        lsp.change(uri, text, ++version);
        const json changed = lsp.nextDiagnostics(uri);
        EXPECT_EQ(published(changed), expected) << text;
        EXPECT_EQ(changed["params"]["version"], version);

        lsp.notify("textDocument/didSave", documentOnly(uri));
        EXPECT_EQ(published(lsp.nextDiagnostics(uri)), expected) << text;

        // Closed, its list is taken back (there is none to take back when it was clean).
        lsp.notify("textDocument/didClose", documentOnly(uri));
        if (!expected.empty()) {
            EXPECT_EQ(lsp.nextDiagnostics(uri)["params"]["diagnostics"], json::array());
        }
        lsp.open(dir.path() / "editor" / "prog.s", text, ++version);
        EXPECT_EQ(published(lsp.nextDiagnostics(uri)), expected) << text;
    }
}

TEST(LspProtocol, AFixEmptiesTheList)
{
    const testsupport::ScopedTempDir dir;
    LspClient lsp;
    lsp.initialize();
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\n  moc R1, R2\n  jmp nowhere\n");
    const json broken = lsp.nextDiagnostics(uri);
    // The syntax error, and the undefined label the command line would name
    // once the syntax is mended.
    ASSERT_EQ(broken["params"]["diagnostics"].size(), 2u) << broken.dump();
    EXPECT_EQ(broken["params"]["diagnostics"][1]["code"], 1315);
    EXPECT_EQ(broken["params"]["version"], 1);
    lsp.change(uri, ".text\n  mov R1, R2\n  jmp nowhere\n", 2);
    const json undefined = lsp.nextDiagnostics(uri);
    ASSERT_EQ(undefined["params"]["diagnostics"].size(), 1u) << undefined.dump();
    EXPECT_EQ(undefined["params"]["diagnostics"][0]["range"]["start"]["line"], 2);
    lsp.change(uri, ".text\nnowhere: mov R1, R2\n  jmp nowhere\n", 3);
    const json fixed = lsp.nextDiagnostics(uri);
    EXPECT_EQ(fixed["params"]["diagnostics"], json::array());
    EXPECT_EQ(fixed["params"]["version"], 3);
}

// Messages about an included file go under its address, and are taken back
// when the file is mended and saved; nothing is written anywhere near.
TEST(LspProtocol, AnIncludedFilesDiagnosticsGoUnderItsAddress)
{
    const testsupport::ScopedTempDir dir;
    fs::create_directory(dir.path() / "project");
    const fs::path folder = dir.path() / "project";
    testsupport::writeFile(folder / "defs.inc", "start: moc R1, R2\n");
    const std::set<std::string> before = filesUnder(folder);
    {
        LspClient lsp(folder);
        lsp.initialize();
        const std::string uri = lsp.open(folder / "main.s", ".text\n#include \"defs.inc\"\n  jmp start\n");
        const std::string included = CLspUri::fromPath((folder / "defs.inc").string());
        const json inIncluded = lsp.nextDiagnostics(included);
        ASSERT_EQ(inIncluded["params"]["diagnostics"].size(), 1u) << inIncluded.dump();
        const json& item = inIncluded["params"]["diagnostics"][0];
        EXPECT_EQ(item["message"], "unknown instruction 'moc'; did you mean 'mov'?");
        EXPECT_EQ(item["range"]["start"], json({{"line", 0}, {"character", 7}}));
        EXPECT_EQ(lsp.nextDiagnostics(uri)["params"]["diagnostics"], json::array());

        testsupport::writeFile(folder / "defs.inc", "start: mov R1, R2\n");
        lsp.notify("textDocument/didSave", documentOnly(included));
        EXPECT_EQ(lsp.nextDiagnostics(included)["params"]["diagnostics"], json::array());
        EXPECT_EQ(lsp.call("shutdown", nullptr)["result"], json());
        lsp.notify("exit", nullptr);
        EXPECT_EQ(lsp.waitForExit(), 0);
    }
    EXPECT_EQ(filesUnder(folder), before);
}

// includePaths and defines reach the preprocessor as -I and -D would.
TEST(LspProtocol, InitializationOptionsSetIncludeFoldersAndDefines)
{
    const testsupport::ScopedTempDir dir;
    fs::create_directories(dir.path() / "lib");
    testsupport::writeFile(dir.path() / "lib" / "words.inc", "#if N != 3\n#error N is not 3\n#endif\n");
    const std::string text = "#include <words.inc>\n.data\nv: N\n";
    const struct {
        json options;
        std::size_t messages;
    } cases[] = {
        {nullptr, 1},
        {{{"includePaths", {(dir.path() / "lib").string()}}}, 1},
        {{{"includePaths", {(dir.path() / "lib").string()}}, {"defines", {"N=4"}}}, 1},
        {{{"includePaths", {(dir.path() / "lib").string()}}, {"defines", {"N=3"}}}, 0},
    };
    for (const auto& entry : cases) {
        LspClient lsp;
        lsp.initialize(entry.options);
        const std::string uri = lsp.open(dir.path() / "a.s", text);
        lsp.pending().push_back(lsp.nextDiagnostics(uri));
        // What was published with it has come before the answer to a later request.
        lsp.call("textDocument/documentSymbol", documentOnly(uri));
        // The newest list of each address.
        std::map<std::string, std::size_t> counts;
        for (const json& message : lsp.pending()) {
            counts[message["params"]["uri"]] = message["params"]["diagnostics"].size();
        }
        std::size_t count = 0;
        for (const auto& [address, size] : counts) {
            count += size;
        }
        EXPECT_EQ(count, entry.messages) << entry.options.dump() << "\n" << json(lsp.transcript()).dump();
    }
}

// Changes sent one after another without waiting: no list of an older
// version is published after one of a newer, and a stale change is dropped.
TEST(LspProtocol, OnlyTheNewestVersionIsPublishedLast)
{
    const testsupport::ScopedTempDir dir;
    LspClient lsp;
    lsp.initialize();
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\n  moc R1, R2\n");
    lsp.change(uri, ".text\n  mov R1, R9\n", 2);
    lsp.change(uri, ".text\n  jmp far\n", 3);
    lsp.change(uri, ".text\n  mov R1, R9\n", 2);
    lsp.call("textDocument/documentSymbol", documentOnly(uri));
    int newest = 0;
    json last;
    for (const json& message : lsp.pending()) {
        if (message["method"] == "textDocument/publishDiagnostics" && message["params"]["uri"] == uri) {
            const int version = message["params"]["version"];
            EXPECT_GE(version, newest) << json(lsp.pending()).dump();
            newest = std::max(newest, version);
            last = message;
        }
    }
    EXPECT_EQ(newest, 3);
    ASSERT_EQ(last["params"]["diagnostics"].size(), 1u);
    EXPECT_EQ(last["params"]["diagnostics"][0]["message"], "undefined label 'far'");
}

// Broken frames, broken JSON and unknown methods each get an error
// response; the server goes on serving.
TEST(LspProtocol, AnswersBrokenMessagesAndGoesOn)
{
    const auto framed = [](const std::string& body) {
        return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    const struct {
        std::string bytes;
        json id;
        int code;
    } cases[] = {
        {"Content-Length: many\r\n\r\n", nullptr, -32700},
        {"Content-Type: application/json\r\n\r\n", nullptr, -32700},
        {framed("{\"jsonrpc\": \"2.0\", \"id\": 1,"), nullptr, -32700},
        {framed("[1, 2, 3]"), nullptr, -32600},
        {framed(R"({"jsonrpc":"2.0","id":41})"), 41, -32600},
        {framed(R"({"jsonrpc":"2.0","id":42,"method":"no/such/method"})"), 42, -32601},
        {framed(R"({"jsonrpc":"2.0","id":"x43","method":"textDocument/hover","params":{"textDocument":{}}})"), "x43",
         -32602},
        {framed(R"({"jsonrpc":"2.0","id":44,"method":"textDocument/definition",)"
                R"("params":{"textDocument":{"uri":"file:///nowhere.s"},"position":{"line":0,"character":0}}})"),
         44, -32602},
        {framed(R"({"jsonrpc":"2.0","id":45,"method":"textDocument/didChange",)"
                R"("params":{"textDocument":{"uri":"file:///nowhere.s"}}})"),
         45, -32602},
    };
    const testsupport::ScopedTempDir dir;
    LspClient lsp;
    lsp.initialize();
    for (const auto& entry : cases) {
        lsp.sendRaw(entry.bytes);
        const json response = lsp.responseTo(entry.id);
        EXPECT_EQ(response["error"]["code"], entry.code) << entry.bytes << "\n" << response.dump();
        EXPECT_TRUE(response["error"]["message"].is_string()) << entry.bytes;
    }
    // An unknown notification gets no answer; the server still works.
    lsp.notify("no/such/notification", json::object());
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\n  moc R1, R2\n");
    EXPECT_EQ(lsp.nextDiagnostics(uri)["params"]["diagnostics"].size(), 1u);
    EXPECT_EQ(lsp.call("shutdown", nullptr)["result"], json());
    lsp.notify("exit", nullptr);
    EXPECT_EQ(lsp.waitForExit(), 0);
    // One answer to each broken message, none to the notification.
    const auto answers = std::count_if(lsp.transcript().begin(), lsp.transcript().end(),
                                       [](const json& message) { return !message.contains("method"); });
    EXPECT_EQ(static_cast<std::size_t>(answers), std::size(cases) + 2) << json(lsp.transcript()).dump();
}

// How the server ends: exit after shutdown is a clean end, the end of its
// input or exit alone is not.
TEST(LspProtocol, EndsOnExitOrTheEndOfItsInput)
{
    const struct {
        bool shutdown;
        bool exit;
        int status;
    } cases[] = {
        {true, true, 0},
        {false, true, 1},
        {true, false, 0},
        {false, false, 1},
    };
    for (const auto& entry : cases) {
        LspClient lsp;
        lsp.initialize();
        if (entry.shutdown) {
            EXPECT_EQ(lsp.call("shutdown", nullptr)["result"], json());
            // After shutdown, requests are refused, still answered.
            EXPECT_EQ(lsp.call("textDocument/hover", LspClient::at("file:///a.s", 0, 0))["error"]["code"], -32600);
        }
        if (entry.exit) {
            lsp.notify("exit", nullptr);
        } else {
            lsp.closeInput();
        }
        EXPECT_EQ(lsp.waitForExit(), entry.status) << entry.shutdown << entry.exit;
    }
}

// Every request method, at places in and beyond the text, with numbers and
// texts as ids: exactly one answer to each, result or error.
TEST(LspProtocol, EveryRequestGetsOneAnswer)
{
    const char* const kMethods[] = {
        "textDocument/hover",        "textDocument/inlayHint",        "textDocument/definition",
        "textDocument/references",   "textDocument/prepareRename",    "textDocument/rename",
        "textDocument/completion",   "textDocument/documentSymbol",   "textDocument/semanticTokens/full",
        "textDocument/codeAction",   "textDocument/formatting",
    };
    const testsupport::ScopedTempDir dir;
    LspClient lsp;
    // Before initialize: refused, answered.
    const json early = lsp.call("textDocument/hover", LspClient::at("file:///a.s", 0, 0));
    EXPECT_EQ(early["error"]["code"], -32002);
    lsp.initialize();
    const std::string uri =
        lsp.open(dir.path() / "a.s", ".text\nstart: add R1, R2, R3\n  jmp start\n  moc R1\n.data\nv: 1\n");
    const std::pair<std::size_t, std::size_t> places[] = {{0, 0}, {1, 1}, {1, 8}, {2, 7}, {3, 3}, {5, 3}, {40, 90}};
    std::vector<json> ids;
    for (const char* method : kMethods) {
        for (const auto& [line, character] : places) {
            json params = LspClient::at(uri, line, character);
            params["newName"] = "begin";
            params["context"] = {{"includeDeclaration", true}, {"diagnostics", json::array()}};
            params["range"] = {{"start", params["position"]}, {"end", params["position"]}};
            params["options"] = {{"tabSize", 8}, {"insertSpaces", true}};
            const json id = ids.size() % 2 == 0 ? json(static_cast<int>(1000 + ids.size()))
                                                : json("r" + std::to_string(ids.size()));
            lsp.send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
            ids.push_back(id);
        }
    }
    lsp.call("shutdown", nullptr);
    for (const json& id : ids) {
        const auto answers = std::count_if(lsp.transcript().begin(), lsp.transcript().end(), [&](const json& message) {
            return !message.contains("method") && message["id"] == id &&
                   (message.contains("result") != message.contains("error"));
        });
        EXPECT_EQ(answers, 1) << id.dump();
    }
}

// Each feature over the pipe, on a program with a label used twice, jumps
// and a data section; line i of the text is line i of the editor.
constexpr const char* kProgram =
    "; count down from the limit kept in data memory\n"  // 0
    ".text\n"                                              // 1
    "start:  sub   R0, R0, R0\n"                           // 2
    "        inc   R1, R0\n"                               // 3
    "        ld    R2, R1\n"                               // 4
    "loop:   dec   R2, R2\n"                               // 5
    "        jmpnz loop\n"                                 // 6
    "        jmp   loop\n"                                 // 7
    ".data\n"                                              // 8
    "limit:  10\n";                                        // 9

class LspFeature : public testing::Test {
protected:
    void SetUp() override
    {
        m_capabilities = m_lsp.initialize()["capabilities"];
        m_uri = m_lsp.open(m_dir.path() / "count.s", kProgram);
        const json published = m_lsp.nextDiagnostics(m_uri);
        ASSERT_EQ(published["params"]["diagnostics"], json::array()) << published.dump();
    }

    json at(std::size_t line, std::size_t character) const { return LspClient::at(m_uri, line, character); }
    // The document's address beside other params.
    json about(json params) const
    {
        params["textDocument"] = {{"uri", m_uri}};
        return params;
    }

    // A request's result; a failed test when it was answered with an error.
    json result(const std::string& method, const json& params)
    {
        const json response = m_lsp.call(method, params);
        EXPECT_FALSE(response.contains("error")) << method << ": " << response.dump();
        return response.value("result", json());
    }

    const testsupport::ScopedTempDir m_dir;
    LspClient m_lsp;
    json m_capabilities;
    std::string m_uri;
};

json range(std::size_t line, std::size_t first, std::size_t last)
{
    return {{"start", {{"line", line}, {"character", first}}}, {"end", {{"line", line}, {"character", last}}}};
}

// From the start of line `first` to the start of line `last`.
json wholeLines(std::size_t first, std::size_t last)
{
    return {{"start", {{"line", first}, {"character", 0}}}, {"end", {{"line", last}, {"character", 0}}}};
}

// A text with TextEdits applied, as an editor applies them (ranges of the
// text before any edit, none overlapping).
std::string applyEdits(const std::string& text, json edits)
{
    std::sort(edits.begin(), edits.end(), [](const json& a, const json& b) {
        return std::make_pair(a["range"]["start"]["line"].get<int>(), a["range"]["start"]["character"].get<int>()) >
               std::make_pair(b["range"]["start"]["line"].get<int>(), b["range"]["start"]["character"].get<int>());
    });
    std::string result = text;
    const CLspText places(text);
    for (const json& edit : edits) {
        const json& start = edit["range"]["start"];
        const json& end = edit["range"]["end"];
        const std::size_t first = places.offsetOf(start["line"], start["character"]);
        const std::size_t last = places.offsetOf(end["line"], end["character"]);
        result.replace(first, last - first, edit["newText"].get<std::string>());
    }
    return result;
}

// The tokens of a text, as the lexer reads them: what formatting may not change.
std::vector<std::pair<int, std::string>> tokensOf(const std::string& text)
{
    std::vector<std::pair<int, std::string>> tokens;
    for (const CLspToken& token : CLspTokens::scan(text)) {
        tokens.emplace_back(token.kind, token.text);
    }
    return tokens;
}

TEST_F(LspFeature, InlayHintsGiveEachLinesWordAddressAndWord)
{
    const json some = result("textDocument/inlayHint", about({{"range", wholeLines(3, 5)}}));
    const json all = result("textDocument/inlayHint", about({{"range", wholeLines(0, 10)}}));
    const std::map<int, std::string> expected = {
        {2, "@0 0400"}, {3, "@1 0c40"}, {4, "@2 4081"}, {5, "@3 0e90"}, {6, "@4 2a03"}, {7, "@5 2003"}, {9, "@0 000a"},
    };
    std::map<int, std::string> got;
    const CLspText programLines(kProgram);
    for (const json& hint : all) {
        const int line = hint["position"]["line"];
        const json& parts = hint["label"];
        std::string label = parts.is_string() ? parts.get<std::string>() : parts[0]["value"].get<std::string>();
        label.erase(0, label.find_first_not_of(' '));
        got[line] = label;
        EXPECT_EQ(hint["position"]["character"], programLines.line(static_cast<std::size_t>(line)).size()) << line;
    }
    EXPECT_EQ(got, expected);
    // Only the lines asked for.
    std::set<int> someLines;
    for (const json& hint : some) {
        someLines.insert(hint["position"]["line"].get<int>());
    }
    EXPECT_EQ(someLines, std::set<int>({3, 4}));
}

TEST_F(LspFeature, HoverExplainsMnemonicsAndLabels)
{
    const struct {
        std::size_t line;
        std::size_t character;
        std::vector<std::string> pieces;
    } cases[] = {
        {5, 9, {"dec Rd, Ra", "0e90"}},
        {6, 16, {"loop", "3"}},
        {5, 1, {"loop", "3"}},
        {9, 2, {"limit", "0"}},
    };
    for (const auto& entry : cases) {
        const json hover = result("textDocument/hover", at(entry.line, entry.character));
        ASSERT_TRUE(hover.contains("contents")) << entry.line << ":" << entry.character << " " << hover.dump();
        const json& contents = hover["contents"];
        const std::string text = contents.is_object() ? contents.value("value", "") : contents.dump();
        for (const std::string& piece : entry.pieces) {
            EXPECT_NE(text.find(piece), std::string::npos) << piece << " in " << text;
        }
    }
    EXPECT_EQ(result("textDocument/hover", at(1, 20)), json());
}

TEST_F(LspFeature, DefinitionAndReferencesOfALabelUsedTwice)
{
    for (const auto& [line, character] : std::vector<std::pair<int, int>>{{6, 16}, {7, 14}, {5, 2}}) {
        json definition = result("textDocument/definition", at(line, character));
        if (definition.is_array()) {
            ASSERT_EQ(definition.size(), 1u) << definition.dump();
            definition = definition[0];
        }
        EXPECT_EQ(definition["uri"], m_uri);
        EXPECT_EQ(definition["range"], range(5, 0, 4)) << line << ":" << character;
    }
    EXPECT_EQ(result("textDocument/definition", at(6, 9)), json()) << "a mnemonic has no definition";

    const struct {
        bool declaration;
        std::set<int> lines;
    } cases[] = {{true, {5, 6, 7}}, {false, {6, 7}}};
    for (const auto& entry : cases) {
        json params = at(6, 16);
        params["context"] = {{"includeDeclaration", entry.declaration}};
        std::set<int> lines;
        for (const json& location : result("textDocument/references", params)) {
            EXPECT_EQ(location["uri"], m_uri);
            lines.insert(location["range"]["start"]["line"].get<int>());
        }
        EXPECT_EQ(lines, entry.lines) << entry.declaration;
    }
}

TEST_F(LspFeature, RenameEditsEveryUseAndRefusesNamesThatCannotBeLabels)
{
    const json prepared = result("textDocument/prepareRename", at(6, 16));
    const json preparedRange = prepared.contains("range") ? prepared["range"] : prepared;
    EXPECT_EQ(preparedRange, range(6, 14, 18));

    json params = at(6, 16);
    params["newName"] = "again";
    const json edit = result("textDocument/rename", params);
    const json edits = edit.contains("changes") ? edit["changes"][m_uri] : edit["documentChanges"][0]["edits"];
    std::string expected = kProgram;
    for (std::size_t at = expected.find("loop"); at != std::string::npos; at = expected.find("loop", at)) {
        expected.replace(at, 4, "again");
    }
    EXPECT_EQ(applyEdits(kProgram, edits), expected);

    for (const char* name : {"mov", "R3", "2x", "", "a b", "start", ".data"}) {
        params["newName"] = name;
        const json refused = m_lsp.call("textDocument/rename", params);
        EXPECT_TRUE(refused.contains("error")) << name << ": " << refused.dump();
        EXPECT_TRUE(refused["error"].value("message", "").size() > 0) << name;
    }
}

TEST_F(LspFeature, CompletionOffersWhatMayStandThere)
{
    const struct {
        std::size_t line;
        std::size_t character;
        std::vector<std::string> offered;
        std::vector<std::string> notOffered;
    } cases[] = {
        {5, 8, {"mov", "jmpnz", "dec", "st"}, {"R0", "loop"}},
        {6, 14, {"start", "loop"}, {"R0", "mov"}},
        {3, 14, {"R0", "R7"}, {"mov"}},
    };
    for (const auto& entry : cases) {
        const json completion = result("textDocument/completion", at(entry.line, entry.character));
        const json items = completion.is_object() ? completion["items"] : completion;
        std::set<std::string> labels;
        for (const json& item : items) {
            labels.insert(item["label"]);
        }
        for (const std::string& label : entry.offered) {
            EXPECT_EQ(labels.count(label), 1u) << label << " at " << entry.line << ":" << entry.character;
        }
        for (const std::string& label : entry.notOffered) {
            EXPECT_EQ(labels.count(label), 0u) << label << " at " << entry.line << ":" << entry.character;
        }
    }
}

TEST_F(LspFeature, DocumentSymbolsListSectionsAndLabels)
{
    std::set<std::string> names;
    std::function<void(const json&)> collect = [&](const json& symbols) {
        for (const json& symbol : symbols) {
            names.insert(symbol["name"]);
            if (symbol.contains("children")) {
                collect(symbol["children"]);
            }
        }
    };
    collect(result("textDocument/documentSymbol", documentOnly(m_uri)));
    for (const char* label : {"start", "loop", "limit"}) {
        EXPECT_EQ(names.count(label), 1u) << label;
    }
}

TEST_F(LspFeature, SemanticTokensColourEachKindOfToken)
{
    const json& legend = m_capabilities["semanticTokensProvider"]["legend"]["tokenTypes"];
    const json data = result("textDocument/semanticTokens/full", documentOnly(m_uri))["data"];
    ASSERT_EQ(data.size() % 5, 0u);
    // (line, character) -> (length, type name), from the relative encoding.
    std::map<std::pair<int, int>, std::pair<int, std::string>> tokens;
    int line = 0;
    int character = 0;
    for (std::size_t i = 0; i < data.size(); i += 5) {
        line += data[i].get<int>();
        character = data[i].get<int>() == 0 ? character + data[i + 1].get<int>() : data[i + 1].get<int>();
        const auto type = data[i + 3].get<std::size_t>();
        ASSERT_LT(type, legend.size());
        tokens[{line, character}] = {data[i + 2].get<int>(), legend[type]};
    }
    const struct {
        int line;
        int character;
        int length;
        const char* type;
    } cases[] = {
        {0, 0, 47, "comment"}, {1, 0, 5, "keyword"}, {5, 0, 4, "function"}, {5, 8, 3, "keyword"},
        {5, 14, 2, "variable"}, {6, 14, 4, "function"}, {9, 8, 2, "number"},
    };
    for (const auto& entry : cases) {
        const auto found = tokens.find({entry.line, entry.character});
        ASSERT_NE(found, tokens.end()) << entry.line << ":" << entry.character;
        EXPECT_EQ(found->second, std::make_pair(entry.length, std::string(entry.type)))
            << entry.line << ":" << entry.character;
    }
}

TEST_F(LspFeature, CodeActionReplacesAnUnknownMnemonic)
{
    m_lsp.change(m_uri, ".text\n        moc   R1, R2\n", 2);
    const json diagnostics = m_lsp.nextDiagnostics(m_uri)["params"]["diagnostics"];
    ASSERT_EQ(diagnostics.size(), 1u);
    const json actions = result("textDocument/codeAction",
                                about({{"range", range(1, 9, 9)}, {"context", {{"diagnostics", diagnostics}}}}));
    ASSERT_EQ(actions.size(), 1u) << actions.dump();
    const json& action = actions[0];
    EXPECT_EQ(action["kind"], "quickfix");
    EXPECT_NE(action["title"].get<std::string>().find("mov"), std::string::npos);
    const json edits = action["edit"]["changes"][m_uri];
    EXPECT_EQ(applyEdits(".text\n        moc   R1, R2\n", edits), ".text\n        mov   R1, R2\n");
    // No fix where there is no mistake.
    const json none = result("textDocument/codeAction",
                             about({{"range", range(0, 0, 0)}, {"context", {{"diagnostics", json::array()}}}}));
    EXPECT_TRUE(none.is_null() || none.empty()) << none.dump();
}

TEST_F(LspFeature, FormattingLinesUpColumnsWithoutChangingATokenAndIsStable)
{
    const std::string ragged =
        "; ragged\n.text\nstart: sub R0,R0,R0 ; zero\n   loop:dec   R2, R2\n\tjmpnz  loop // back\n.data\nlimit: 10\n";
    m_lsp.change(m_uri, ragged, 2);
    m_lsp.nextDiagnostics(m_uri);
    const json options = {{"tabSize", 8}, {"insertSpaces", true}};
    const json edits = result("textDocument/formatting", about({{"options", options}}));
    const std::string formatted = applyEdits(ragged, edits);
    EXPECT_NE(formatted, ragged);
    EXPECT_EQ(tokensOf(formatted), tokensOf(ragged)) << formatted;
    // Mnemonics start in one column.
    const CLspText formattedLines(formatted);
    EXPECT_EQ(formattedLines.line(2).find("sub"), formattedLines.line(3).find("dec")) << formatted;
    EXPECT_EQ(formattedLines.line(3).find("dec"), formattedLines.line(4).find("jmpnz")) << formatted;
    // Formatted once, there is nothing left to do.
    m_lsp.change(m_uri, formatted, 3);
    m_lsp.nextDiagnostics(m_uri);
    const json again = result("textDocument/formatting", about({{"options", options}}));
    EXPECT_EQ(applyEdits(formatted, again), formatted);
}

}  // namespace
