#include "support/LspHarness.h"

#include <gtest/gtest.h>

#include "lsp/CLspPreprocessor.h"
#include "lsp/CLspText.h"
#include "support/LspFuzzSession.h"

namespace testsupport {

LspHarness::LspHarness(const json& initializationOptions) : m_server(CLspPreprocessor(ROZEDOV_CC1))
{
    json params = {{"processId", nullptr}, {"rootUri", nullptr}, {"capabilities", json::object()}};
    if (!initializationOptions.is_null()) {
        params["initializationOptions"] = initializationOptions;
    }
    request("initialize", params);
    notify("initialized", json::object());
}

LspHarness::json LspHarness::send(const json& message)
{
    json reply;
    int replies = 0;
    std::vector<std::string> texts = m_server.handle(message.dump());
    // As the server does when no further message waits.
    for (std::string& text : m_server.settle()) {
        texts.push_back(std::move(text));
    }
    for (const std::string& text : texts) {
        json out = json::parse(text);
        // A failure of the server itself is a failing test, whatever was asked.
        EXPECT_FALSE(LspFuzzSession::isInternalError(out)) << message.dump() << "\n" << text;
        if (out.contains("method")) {
            m_notifications.push_back(std::move(out));
        } else {
            ++replies;
            EXPECT_EQ(out["id"], message["id"]) << out.dump();
            reply = std::move(out);
        }
    }
    // A request is answered once; a notification never.
    EXPECT_EQ(replies, message.contains("id") ? 1 : 0) << message.dump();
    return reply;
}

LspHarness::json LspHarness::request(const std::string& method, const json& params)
{
    const json reply = send({{"jsonrpc", "2.0"}, {"id", m_nextId++}, {"method", method}, {"params", params}});
    EXPECT_FALSE(reply.contains("error")) << method << ": " << reply.dump();
    return reply.contains("result") ? reply["result"] : json();
}

LspHarness::json LspHarness::requestError(const std::string& method, const json& params)
{
    const json reply = send({{"jsonrpc", "2.0"}, {"id", m_nextId++}, {"method", method}, {"params", params}});
    return reply.contains("error") ? reply["error"] : json();
}

void LspHarness::notify(const std::string& method, const json& params)
{
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

std::string LspHarness::open(const std::filesystem::path& path, const std::string& text, int version)
{
    const std::string uri = CLspUri::fromPath(path.string());
    notify("textDocument/didOpen",
           {{"textDocument", {{"uri", uri}, {"languageId", "vorn"}, {"version", version}, {"text", text}}}});
    return uri;
}

void LspHarness::change(const std::string& uri, const std::string& text, int version)
{
    notify("textDocument/didChange",
           {{"textDocument", {{"uri", uri}, {"version", version}}}, {"contentChanges", {{{"text", text}}}}});
}

LspHarness::json LspHarness::diagnostics(const std::string& uri) const
{
    for (auto it = m_notifications.rbegin(); it != m_notifications.rend(); ++it) {
        if ((*it)["method"] == "textDocument/publishDiagnostics" && (*it)["params"]["uri"] == uri) {
            return (*it)["params"]["diagnostics"];
        }
    }
    return json::array();
}

LspHarness::json LspHarness::at(const std::string& uri, std::size_t line, std::size_t character)
{
    return {{"textDocument", {{"uri", uri}}}, {"position", {{"line", line}, {"character", character}}}};
}

}  // namespace testsupport
