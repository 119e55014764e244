#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <stdexcept>

#include "lsp/CLspText.h"
#include "lsp/CLspTransport.h"
#include "support/LspFuzzSession.h"
#include "support/LspHarness.h"
#include "support/TestSupport.h"

namespace {
using nlohmann::json;
using testsupport::LspHarness;

TEST(CLspServer, PublishesTheCommandLinesDiagnosticsAtTheUsersToken)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\n  moc R1, R2\n");
    const json list = lsp.diagnostics(uri);
    ASSERT_EQ(list.size(), 1u) << list.dump();
    EXPECT_EQ(list[0]["message"], "unknown instruction 'moc'; did you mean 'mov'?");
    EXPECT_EQ(list[0]["range"], json::parse(R"({"start":{"line":1,"character":2},"end":{"line":1,"character":5}})"));
    EXPECT_EQ(list[0]["severity"], 1);
    // Fixed, the list is emptied.
    lsp.change(uri, ".text\n  mov R1, R2\n", 2);
    EXPECT_EQ(lsp.diagnostics(uri), json::array());
}

TEST(CLspServer, DiagnosticsOfAnIncludedFileGoToThatFile)
{
    const testsupport::ScopedTempDir dir;
    testsupport::writeFile(dir.path() / "x.inc", "  jmp\n");
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\n#include \"x.inc\"\n");
    const std::string included = CLspUri::fromPath((dir.path() / "x.inc").string());
    ASSERT_EQ(lsp.diagnostics(included).size(), 1u);
    EXPECT_EQ(lsp.diagnostics(included)[0]["range"]["start"]["line"], 0);
    EXPECT_EQ(lsp.diagnostics(uri), json::array());
    // Nothing was written beside the source.
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "a.ppf"));
}

TEST(CLspServer, AnswersEveryMalformedMessageAndGoesOn)
{
    LspHarness lsp;
    const struct {
        const char* body;
        int code;
    } cases[] = {
        {"{not json", -32700},
        {"[1, 2]", -32600},
        {R"({"jsonrpc":"2.0","id":7})", -32600},
        {R"({"jsonrpc":"2.0","id":7,"method":"no/such"})", -32601},
        {R"({"jsonrpc":"2.0","id":7,"method":"textDocument/hover","params":{}})", -32602},
        {R"({"jsonrpc":"2.0","id":7,"method":"textDocument/hover","params":{"textDocument":{"uri":"file:///none.s"},"position":{"line":0,"character":0}}})", -32602},
    };
    for (const auto& entry : cases) {
        const std::vector<std::string> replies = lsp.server().handle(entry.body);
        ASSERT_EQ(replies.size(), 1u) << entry.body;
        EXPECT_EQ(json::parse(replies[0])["error"]["code"], entry.code) << entry.body;
    }
    EXPECT_EQ(lsp.request("shutdown", nullptr), json());
    EXPECT_FALSE(lsp.server().exited());
    lsp.notify("exit", nullptr);
    EXPECT_TRUE(lsp.server().exited());
    EXPECT_EQ(lsp.server().exitStatus(), 0);
}

TEST(CLspTransport, SplitsFramedMessages)
{
    std::istringstream in("Content-Length: 2\r\n\r\n{}content-length:3\r\nContent-Type: x\r\n\r\n[1]"
                          "X-Other: 1\r\n\r\nContent-Length: 1\r\n\r\n1");
    std::string body;
    std::string problem;
    EXPECT_EQ(CLspTransport::readMessage(in, body, problem), CLspTransport::Read::Message);
    EXPECT_EQ(body, "{}");
    EXPECT_EQ(CLspTransport::readMessage(in, body, problem), CLspTransport::Read::Message);
    EXPECT_EQ(body, "[1]");
    EXPECT_EQ(CLspTransport::readMessage(in, body, problem), CLspTransport::Read::Malformed);
    EXPECT_EQ(CLspTransport::readMessage(in, body, problem), CLspTransport::Read::Message);
    EXPECT_EQ(body, "1");
    EXPECT_EQ(CLspTransport::readMessage(in, body, problem), CLspTransport::Read::End);
}
}  // namespace

namespace {
TEST(CLspServer, ABurstOfChangesIsPublishedOnlyAtItsNewestVersion)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s", ".text\n  mov R1, R2\n");
    CLspServer& server = lsp.server();
    const auto change = [&](int version, const char* text) {
        json message = {{"jsonrpc", "2.0"},
                        {"method", "textDocument/didChange"},
                        {"params",
                         {{"textDocument", {{"uri", uri}, {"version", version}}},
                          {"contentChanges", {{{"text", text}}}}}}};
        return server.handle(message.dump());
    };
    EXPECT_TRUE(change(2, ".text\n  moc R1, R2\n").empty());
    EXPECT_TRUE(change(3, ".text\n  mov R1\n").empty());
    // An older version is no change to the newer text.
    EXPECT_TRUE(change(1, ".text\n  jmp\n").empty());
    const std::vector<std::string> published = server.settle();
    ASSERT_EQ(published.size(), 1u);
    const json params = json::parse(published[0])["params"];
    EXPECT_EQ(params["version"], 3);
    ASSERT_EQ(params["diagnostics"].size(), 1u);
    EXPECT_EQ(params["diagnostics"][0]["range"]["start"]["line"], 1);
    EXPECT_TRUE(server.settle().empty());
}
}  // namespace

namespace {
// Where the command line stops after the parse, the editor still shows each
// statement's mistake: syntax errors and labels that are not defined, whose
// messages depend on no address; no words, and no warning about a value.
TEST(CLspServer, ShowsLabelMistakesPastParseErrors)
{
    const testsupport::ScopedTempDir dir;
    LspHarness lsp;
    const std::string uri = lsp.open(dir.path() / "a.s",
                                     ".text\n  mov R1\ntop: jmp nowhere\n  jmp top+top\n  jmp 4000\n  jmp top\n");
    std::set<std::pair<int, int>> shown;  // line, code
    for (const json& diagnostic : lsp.diagnostics(uri)) {
        EXPECT_EQ(diagnostic["severity"], 1) << diagnostic.dump();
        shown.emplace(diagnostic["range"]["start"]["line"].get<int>(), diagnostic["code"].get<int>());
    }
    // The command line's parse errors, then the undefined label; nothing of
    // "jmp 4000", whose warning would need the addresses.
    const std::set<std::pair<int, int>> expected = {{1, 1304}, {2, 1315}, {3, 1304}, {3, 1312}};
    EXPECT_EQ(shown, expected) << lsp.diagnostics(uri).dump();
    EXPECT_EQ(lsp.request("textDocument/inlayHint", {{"textDocument", {{"uri", uri}}}}), json::array());
}
}  // namespace

namespace {
// Should assembling a document fail inside the server, the document says
// so, shows no words, and the server answers on; the next text is assembled.
TEST(CLspServer, ADocumentTheAssemblerFailsOnLeavesTheServerAnswering)
{
    CLspServer server([](const CLspSource& source) {
        if (source.text.find("fail here") != std::string::npos) {
            throw std::runtime_error("stand-in failure");
        }
        return LspFuzzSession::plainText(source);
    });
    const auto send = [&](const std::string& method, const json& params, const json& id = nullptr) {
        json message = {{"jsonrpc", "2.0"}, {"method", method}, {"params", params}};
        if (!id.is_null()) {
            message["id"] = id;
        }
        std::vector<std::string> out = server.handle(message.dump());
        for (std::string& text : server.settle()) {
            out.push_back(std::move(text));
        }
        return out;
    };
    const std::string uri = "file:///nowhere/a.s";
    send("initialize", {{"capabilities", json::object()}}, 1);
    const std::vector<std::string> opened = send(
        "textDocument/didOpen",
        {{"textDocument", {{"uri", uri}, {"languageId", "vorn"}, {"version", 1}, {"text", ".text\n; fail here\n"}}}});
    ASSERT_EQ(opened.size(), 1u);
    const json failed = json::parse(opened[0]);
    EXPECT_TRUE(LspFuzzSession::isInternalError(failed)) << failed.dump();
    EXPECT_EQ(failed["params"]["diagnostics"][0]["message"], "internal error: stand-in failure");

    const json hints = {{"textDocument", {{"uri", uri}}}};
    const std::vector<std::string> none = send("textDocument/inlayHint", hints, 2);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(json::parse(none[0])["result"], json::array()) << none[0];

    send("textDocument/didChange", {{"textDocument", {{"uri", uri}, {"version", 2}}},
                                    {"contentChanges", {{{"text", ".text\n  mov R1, R2\n"}}}}});
    const std::vector<std::string> mended = send("textDocument/inlayHint", hints, 3);
    ASSERT_EQ(mended.size(), 1u);
    EXPECT_EQ(json::parse(mended[0])["result"].size(), 1u) << mended[0];
}
}  // namespace
