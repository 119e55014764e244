#include "support/LspFuzzSession.h"

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/CLspError.h"
#include "lsp/CLspServer.h"
#include "support/FuzzPipeline.h"

namespace {
using json = nlohmann::json;

// The documents the messages name: files in a folder that does not exist
// and a buffer that is no file.
constexpr const char* kUris[] = {"file:///rozedov-fuzz/a.s", "file:///rozedov-fuzz/b%20c.inc", "untitled:Untitled-1"};

constexpr const char* kRequests[] = {
    "textDocument/hover",       "textDocument/inlayHint",      "textDocument/definition",
    "textDocument/references",  "textDocument/prepareRename", "textDocument/rename",
    "textDocument/completion",  "textDocument/documentSymbol", "textDocument/semanticTokens/full",
    "textDocument/codeAction",  "textDocument/formatting",     "initialize",
    "shutdown",                 "no/such/method",
};

constexpr const char* kNewNames[] = {"again", "mov", "R3", "", "1x", "a b", ".text", "start", "\xc3\xa9t\xc3\xa9"};

// Reads the fuzzer's bytes as numbers and texts; past the end, zeros and
// empty texts.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : m_bytes(bytes) {}

    bool empty() const { return m_at >= m_bytes.size(); }

    std::uint8_t byte() { return empty() ? 0 : static_cast<std::uint8_t>(m_bytes[m_at++]); }

    // One of `count` choices.
    std::size_t choice(std::size_t count) { return byte() % count; }

    // A small number, now and then a huge one.
    std::size_t place()
    {
        const std::uint8_t value = byte();
        return value == 0xFF ? (std::size_t{1} << 40) : value == 0xFE ? 0xFFFFFFFFu : value;
    }

    // A text ended by a backslash that is not doubled, or by the end of the bytes.
    std::string text()
    {
        std::string text;
        while (!empty()) {
            const char c = m_bytes[m_at++];
            if (c == '\\') {
                if (empty() || m_bytes[m_at] != '\\') {
                    break;
                }
                ++m_at;
            }
            text += c;
        }
        return text;
    }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

void expect(bool condition, const std::string& what)
{
    if (!condition) {
        throw FuzzPipeline::PropertyBroken(what);
    }
}

json position(ByteReader& reader)
{
    return {{"line", reader.place()}, {"character", reader.place()}};
}

json documentId(ByteReader& reader)
{
    return {{"uri", kUris[reader.choice(std::size(kUris))]}};
}

// The params of any request: a place, a range, a new name and the rest, all
// there, so that each handler gets as far as it can.
json requestParams(ByteReader& reader)
{
    json params = {{"textDocument", documentId(reader)}, {"position", position(reader)}};
    params["range"] = {{"start", position(reader)}, {"end", position(reader)}};
    params["newName"] = reader.byte() < 0xF0 ? std::string(kNewNames[reader.choice(std::size(kNewNames))])
                                             : reader.text();
    params["context"] = {{"includeDeclaration", reader.byte() % 2 == 0}, {"diagnostics", json::array()}};
    params["options"] = {{"tabSize", reader.byte()}, {"insertSpaces", true}};
    return params;
}

// Sends one message and checks what comes back: JSON objects only; exactly
// one response, with `id`, when it is a request (`id` not null); none
// otherwise, unless `mayAnswer` (a raw body).
void expectReplies(const std::vector<std::string>& replies, const std::string& body, const json& id, bool mayAnswer)
{
    std::size_t responses = 0;
    for (const std::string& text : replies) {
        const json out = json::parse(text, nullptr, false);
        expect(out.is_object() && out.value("jsonrpc", "") == "2.0", "the server sent no JSON-RPC object: " + text);
        expect(!LspFuzzSession::isInternalError(out), "the server failed: " + text);
        if (out.contains("method")) {
            expect(!out.contains("id"), "the server sent a request: " + text);
            continue;
        }
        ++responses;
        expect(out.contains("result") != out.contains("error"), "a response with both or neither: " + text);
        if (!id.is_null()) {
            expect(out["id"] == id, "a response to another request: " + text);
        }
    }
    const std::size_t expected = id.is_null() ? 0 : 1;
    expect(responses == expected || (mayAnswer && responses <= 1),
           "wrong number of responses (" + std::to_string(responses) + ") to " + body);
}

void exchange(CLspServer& server, const std::string& body, const json& id, bool mayAnswer)
{
    expectReplies(server.handle(body), body, id, mayAnswer);
}

// Assembles what changed, as the server does when no message waits: notifications only.
void settle(CLspServer& server)
{
    expectReplies(server.settle(), "(settle)", nullptr, false);
}

void notify(CLspServer& server, const std::string& method, json params)
{
    const json message = {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
    exchange(server, message.dump(-1, ' ', false, json::error_handler_t::replace), nullptr, false);
}

void request(CLspServer& server, const json& id, const std::string& method, json params)
{
    const json message = {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
    exchange(server, message.dump(-1, ' ', false, json::error_handler_t::replace), id, false);
}

// One message made from the bytes, or a pause in which the server assembles
// what changed; false once the server has exited.
bool sendOne(CLspServer& server, ByteReader& reader, int& nextId)
{
    switch (reader.choice(11)) {
    case 0: {
        json item = documentId(reader);
        item["languageId"] = "vorn";
        item["version"] = reader.byte();
        item["text"] = reader.text();
        notify(server, "textDocument/didOpen", {{"textDocument", item}});
        break;
    }
    case 1: {
        json item = documentId(reader);
        item["version"] = reader.byte();
        const json change = {{"text", reader.text()}};
        notify(server, "textDocument/didChange", {{"textDocument", item}, {"contentChanges", {change}}});
        break;
    }
    case 2: {
        json item = documentId(reader);
        item["version"] = reader.byte();
        json change = {{"range", {{"start", position(reader)}, {"end", position(reader)}}}, {"text", reader.text()}};
        notify(server, "textDocument/didChange", {{"textDocument", item}, {"contentChanges", {change}}});
        break;
    }
    case 3:
    case 4: {
        const std::string method = kRequests[reader.choice(std::size(kRequests))];
        // Ids alternate between numbers and texts.
        const json id = nextId % 2 == 0 ? json(nextId) : json("id" + std::to_string(nextId));
        ++nextId;
        request(server, id, method, requestParams(reader));
        break;
    }
    case 5:
        notify(server, "textDocument/didSave", {{"textDocument", documentId(reader)}});
        break;
    case 6:
        notify(server, "textDocument/didClose", {{"textDocument", documentId(reader)}});
        break;
    case 7:
        notify(server, "workspace/didChangeConfiguration",
               {{"settings", {{"rozedov", {{"includePaths", {reader.text()}}, {"defines", {reader.text()}}}}}}});
        break;
    case 8: {
        // Params of any shape: the text as JSON when it is JSON.
        const std::string method = kRequests[reader.choice(std::size(kRequests))];
        const std::string text = reader.text();
        json params = json::parse(text, nullptr, false);
        if (params.is_discarded()) {
            params = text;
        }
        request(server, nextId++, method, std::move(params));
        break;
    }
    case 9:
        settle(server);
        break;
    default:
        exchange(server, reader.text(), nullptr, true);
        break;
    }
    return !server.exited();
}
}  // namespace

CLspPreprocessed LspFuzzSession::plainText(const CLspSource& source)
{
    return {true, "# 1 \"" + source.name + "\"\n" + source.text, ""};
}

void LspFuzzSession::run(std::string_view bytes)
{
    CLspServer server(&LspFuzzSession::plainText);
    int nextId = 1;
    request(server, nextId++, "initialize", {{"capabilities", json::object()}});
    notify(server, "initialized", json::object());
    ByteReader reader(bytes);
    while (!reader.empty() && sendOne(server, reader, nextId)) {
    }
    settle(server);
}

bool LspFuzzSession::isInternalError(const nlohmann::json& message)
{
    const nlohmann::json error = message.value("error", nlohmann::json::object());
    if (error.is_object() && error.value("code", 0) == CLspError::kInternalError) {
        return true;
    }
    if (message.value("method", "") != "textDocument/publishDiagnostics") {
        return false;
    }
    const nlohmann::json params = message.value("params", nlohmann::json::object());
    for (const nlohmann::json& diagnostic : params.value("diagnostics", nlohmann::json::array())) {
        if (diagnostic.is_object() && diagnostic.value("message", "").starts_with(CLspError::kInternalErrorText)) {
            return true;
        }
    }
    return false;
}
