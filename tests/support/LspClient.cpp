#include "support/LspClient.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <charconv>
#include <stdexcept>
#include <thread>

#include "driver/CChildProcess.h"
#include "lsp/CLspText.h"
#include "support/TestSupport.h"

extern char** environ;

namespace testsupport {

namespace {
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kLengthField = "Content-Length: ";

int statusOf(int wstatus)
{
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

int millisecondsUntil(LspClient::Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - LspClient::Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void closeOnce(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}
}  // namespace

LspClient::LspClient(const std::filesystem::path& folder)
{
    // A server that died shows as a failed write, not as a signal to the tests.
    ::signal(SIGPIPE, SIG_IGN);
    int toServer[2];
    int fromServer[2];
    if (::pipe2(toServer, O_CLOEXEC) != 0 || ::pipe2(fromServer, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toServer[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromServer[1], STDOUT_FILENO);
    // Its standard error is the test's: a crash or a sanitizer's report shows with the failure.
    if (!folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    }
    std::vector<std::string> storage = {assemblerBinary(), "--lsp"};
    std::vector<char*> argv = CChildProcess::argv(storage);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toServer[0]);
    ::close(fromServer[1]);
    m_input = toServer[1];
    m_output = fromServer[0];
    if (spawned != 0) {
        closeOnce(m_input);
        closeOnce(m_output);
        throw std::runtime_error("cannot start " + storage.front());
    }
    m_pid = pid;
    ::fcntl(m_input, F_SETFL, ::fcntl(m_input, F_GETFL) | O_NONBLOCK);
}

LspClient::~LspClient()
{
    closeInput();
    if (m_pid > 0) {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(3);
        int wstatus = 0;
        while (::waitpid(m_pid, &wstatus, WNOHANG) == 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (::waitpid(m_pid, &wstatus, WNOHANG) == 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &wstatus, 0);
        }
    }
    closeOnce(m_output);
}

void LspClient::sendRaw(const std::string& bytes)
{
    const Clock::time_point deadline = Clock::now() + kPatience;
    std::size_t done = 0;
    // While the server's input is full, read its output, so neither side waits on the other.
    while (done < bytes.size()) {
        if (m_input < 0) {
            ADD_FAILURE() << "the server's input is closed";
            return;
        }
        pollfd fds[2] = {{m_input, POLLOUT, 0}, {m_output, POLLIN, 0}};
        const int ready = ::poll(fds, 2, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            ADD_FAILURE() << "the server took no input for " << kPatience.count() << " ms";
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            fill(Clock::now());
        }
        if ((fds[0].revents & (POLLERR | POLLHUP)) != 0) {
            ADD_FAILURE() << "the server closed its input";
            return;
        }
        if ((fds[0].revents & POLLOUT) != 0) {
            const ssize_t count = ::write(m_input, bytes.data() + done, bytes.size() - done);
            if (count < 0 && errno != EAGAIN && errno != EINTR) {
                ADD_FAILURE() << "cannot write to the server: " << std::strerror(errno);
                return;
            }
            done += count > 0 ? static_cast<std::size_t>(count) : 0;
        }
    }
}

void LspClient::send(const json& message)
{
    const std::string body = message.dump();
    sendRaw(std::string(kLengthField) + std::to_string(body.size()) + std::string(kHeaderEnd) + body);
}

int LspClient::request(const std::string& method, const json& params)
{
    const int id = m_nextId++;
    send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
    return id;
}

void LspClient::notify(const std::string& method, const json& params)
{
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

bool LspClient::fill(Clock::time_point deadline)
{
    if (m_output < 0) {
        return false;
    }
    for (;;) {
        pollfd fd = {m_output, POLLIN, 0};
        const int ready = ::poll(&fd, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        char chunk[65536];
        const ssize_t count = ::read(m_output, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            closeOnce(m_output);
            return false;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(count));
        return true;
    }
}

// message = "Content-Length: N" CRLF CRLF body of N bytes
bool LspClient::takeMessage(json& message)
{
    const std::size_t headerEnd = m_buffer.find(kHeaderEnd);
    if (headerEnd == std::string::npos) {
        return false;
    }
    const std::string_view header = std::string_view(m_buffer).substr(0, headerEnd);
    const std::string_view digits = header.substr(std::min(header.size(), kLengthField.size()));
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
    if (header.substr(0, kLengthField.size()) != kLengthField || error != std::errc() ||
        end != digits.data() + digits.size()) {
        ADD_FAILURE() << "the server wrote a header other than Content-Length: " << header;
        m_buffer.erase(0, headerEnd + kHeaderEnd.size());
        message = json::object();
        return true;
    }
    const std::size_t bodyStart = headerEnd + kHeaderEnd.size();
    if (m_buffer.size() - bodyStart < length) {
        return false;
    }
    message = json::parse(m_buffer.substr(bodyStart, length), nullptr, false);
    if (message.is_discarded()) {
        ADD_FAILURE() << "the server wrote no JSON: " << m_buffer.substr(bodyStart, length);
        message = json::object();
    }
    m_buffer.erase(0, bodyStart + length);
    return true;
}

LspClient::json LspClient::readMessage(Clock::time_point deadline)
{
    json message;
    while (!takeMessage(message)) {
        if (!fill(deadline)) {
            return nullptr;
        }
    }
    m_transcript.push_back(message);
    return message;
}

LspClient::json LspClient::responseTo(const json& id)
{
    for (auto it = m_responses.begin(); it != m_responses.end(); ++it) {
        if ((*it)["id"] == id) {
            json response = std::move(*it);
            m_responses.erase(it);
            return response;
        }
    }
    const Clock::time_point deadline = Clock::now() + kPatience;
    for (;;) {
        json message = readMessage(deadline);
        if (message.is_null()) {
            ADD_FAILURE() << "no response to request " << id.dump();
            return nullptr;
        }
        if (message.contains("method")) {
            m_pending.push_back(std::move(message));
        } else if (message.value("id", json()) == id) {
            return message;
        } else {
            m_responses.push_back(std::move(message));
        }
    }
}

LspClient::json LspClient::call(const std::string& method, const json& params)
{
    return responseTo(request(method, params));
}

LspClient::json LspClient::waitFor(const std::function<bool(const json&)>& matches)
{
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (matches(*it)) {
            json found = std::move(*it);
            m_pending.erase(it);
            return found;
        }
    }
    const Clock::time_point deadline = Clock::now() + kPatience;
    for (;;) {
        json message = readMessage(deadline);
        if (message.is_null()) {
            ADD_FAILURE() << "the awaited notification did not come";
            return nullptr;
        }
        if (!message.contains("method")) {
            m_responses.push_back(std::move(message));
        } else if (matches(message)) {
            return message;
        } else {
            m_pending.push_back(std::move(message));
        }
    }
}

LspClient::json LspClient::nextDiagnostics(const std::string& uri)
{
    return waitFor([&](const json& message) {
        return message["method"] == "textDocument/publishDiagnostics" && message["params"]["uri"] == uri;
    });
}

LspClient::json LspClient::initialize(const json& initializationOptions)
{
    json params = {{"processId", nullptr}, {"rootUri", nullptr}, {"capabilities", json::object()}};
    if (!initializationOptions.is_null()) {
        params["initializationOptions"] = initializationOptions;
    }
    json response = call("initialize", params);
    notify("initialized", json::object());
    return response.value("result", json());
}

std::string LspClient::open(const std::filesystem::path& path, const std::string& text, int version)
{
    const std::string uri = CLspUri::fromPath(path.string());
    notify("textDocument/didOpen",
           {{"textDocument", {{"uri", uri}, {"languageId", "vorn"}, {"version", version}, {"text", text}}}});
    return uri;
}

void LspClient::change(const std::string& uri, const std::string& text, int version)
{
    notify("textDocument/didChange",
           {{"textDocument", {{"uri", uri}, {"version", version}}}, {"contentChanges", {{{"text", text}}}}});
}

void LspClient::closeInput()
{
    closeOnce(m_input);
}

int LspClient::waitForExit()
{
    const Clock::time_point deadline = Clock::now() + kPatience;
    int wstatus = 0;
    for (;;) {
        const pid_t ended = ::waitpid(m_pid, &wstatus, WNOHANG);
        if (ended == m_pid) {
            m_pid = -1;
            return statusOf(wstatus);
        }
        if (ended < 0 && errno != EINTR) {
            ADD_FAILURE() << "cannot wait for the server: " << std::strerror(errno);
            return -1;
        }
        if (Clock::now() >= deadline) {
            ADD_FAILURE() << "the server did not end within " << kPatience.count() << " ms";
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &wstatus, 0);
            m_pid = -1;
            return -1;
        }
        // Whatever it still writes is read, so it never waits on a full pipe.
        if (fill(Clock::now() + std::chrono::milliseconds(5))) {
            json message;
            while (takeMessage(message)) {
                m_transcript.push_back(message);
                (message.contains("method") ? m_pending : m_responses).push_back(message);
            }
        }
        if (m_output < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

LspClient::json LspClient::at(const std::string& uri, std::size_t line, std::size_t character)
{
    return {{"textDocument", {{"uri", uri}}}, {"position", {{"line", line}, {"character", character}}}};
}

}  // namespace testsupport
