#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/CLspServer.h"

namespace testsupport {

// The editor server in the test's process, with the real cc1: messages go
// in as JSON and what the server sends comes back, as an editor sees it.
class LspHarness {
public:
    using json = nlohmann::json;

    // Initialized, with `initializationOptions` if given.
    explicit LspHarness(const json& initializationOptions = nullptr);

    // A request's "result"; a failed test and null when the server
    // answered with an error (see requestError).
    json request(const std::string& method, const json& params);
    // A request's "error" object; null when it succeeded.
    json requestError(const std::string& method, const json& params);
    void notify(const std::string& method, const json& params);

    // Opens `path` (absolute, need not exist) with `text`; returns its address.
    std::string open(const std::filesystem::path& path, const std::string& text, int version = 1);
    void change(const std::string& uri, const std::string& text, int version);

    // The diagnostics last published for an address (an empty array if none came).
    json diagnostics(const std::string& uri) const;

    // {"textDocument": {"uri"}, "position": {line, character}}.
    static json at(const std::string& uri, std::size_t line, std::size_t character);

    CLspServer& server() { return m_server; }

private:
    // Sends one message; the reply to it, when it is a request, which must
    // come once and carry its id.
    json send(const json& message);

    CLspServer m_server;
    std::vector<json> m_notifications;
    int m_nextId = 1;
};

}  // namespace testsupport
