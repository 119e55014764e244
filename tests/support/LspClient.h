#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace testsupport {

// The built program run as `rozedov --lsp` in a child process, spoken to as
// an editor does: framed messages on its standard input, framed messages
// read back from its standard output. Every wait has a deadline, so a
// server that hangs fails the test instead of stopping the suite.
class LspClient {
public:
    using json = nlohmann::json;
    using Clock = std::chrono::steady_clock;

    // How long one wait for the server may take.
    static constexpr std::chrono::milliseconds kPatience{10000};

    // Starts the server in `folder` (the current folder when empty).
    explicit LspClient(const std::filesystem::path& folder = {});
    // Closes the server's input and waits for it; kills it if it lingers.
    ~LspClient();
    LspClient(const LspClient&) = delete;
    LspClient& operator=(const LspClient&) = delete;

    // Writes bytes as they are (for broken frames) or one framed message.
    void sendRaw(const std::string& bytes);
    void send(const json& message);
    // Sends a request with a fresh id; the id.
    int request(const std::string& method, const json& params);
    void notify(const std::string& method, const json& params);

    // The response carrying `id`; notifications read meanwhile are kept.
    // Null (and a failed test) when none came in time.
    json responseTo(const json& id);
    // request() and responseTo() in one: the whole response.
    json call(const std::string& method, const json& params);
    // The next notification, kept or read, that `matches`; null (and a
    // failed test) when none came in time.
    json waitFor(const std::function<bool(const json&)>& matches);
    // The next publishDiagnostics for `uri`.
    json nextDiagnostics(const std::string& uri);

    // initialize (with `initializationOptions` if given) and initialized;
    // the initialize result.
    json initialize(const json& initializationOptions = nullptr);
    std::string open(const std::filesystem::path& path, const std::string& text, int version = 1);
    void change(const std::string& uri, const std::string& text, int version);

    // Ends the server's input; then its exit status, or -1 (and a failed
    // test) when it did not end in time.
    void closeInput();
    int waitForExit();

    // Messages that carry no id (notifications), in the order read, not yet
    // taken by waitFor.
    std::vector<json>& pending() { return m_pending; }
    // Every message read, in order.
    const std::vector<json>& transcript() const { return m_transcript; }

    static json at(const std::string& uri, std::size_t line, std::size_t character);

private:
    // The next message from the server, whatever it is; null when none came
    // before the deadline or the output ended.
    json readMessage(Clock::time_point deadline);

    // Reads what the server has written, waiting at most until `deadline`;
    // false when nothing came or its output ended.
    bool fill(Clock::time_point deadline);
    // One complete message out of the buffer, if there is one.
    bool takeMessage(json& message);

    int m_pid = -1;
    int m_input = -1;   // the server's standard input
    int m_output = -1;  // the server's standard output
    std::string m_buffer;
    std::vector<json> m_pending;
    std::vector<json> m_responses;
    std::vector<json> m_transcript;
    int m_nextId = 1;
};

}  // namespace testsupport
