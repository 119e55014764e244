#include "lsp/CLspPreprocessor.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "driver/CAsmPreprocessor.h"
#include "driver/CChildProcess.h"
#include "driver/CFileDescriptor.h"
#include "driver/CToolMessage.h"

extern char** environ;

namespace {
// A file of the process's own, with no name in any folder: gone with its
// descriptor.
class UnnamedFile {
public:
    explicit UnnamedFile(const char* name) : m_file(::memfd_create(name, MFD_CLOEXEC)) {}

    int fd() const { return m_file.get(); }
    bool isOpen() const { return m_file.isOpen(); }

    // Holds `text`, read from its start.
    bool hold(const std::string& text) const
    {
        return m_file.writeAll(text) == 0 && ::lseek(fd(), 0, SEEK_SET) == 0;
    }

    // What it holds: what was written into it, from its start.
    std::string text() const
    {
        std::string text;
        if (::lseek(fd(), 0, SEEK_SET) == 0) {
            m_file.readToEnd(text);
        }
        return text;
    }

private:
    CFileDescriptor m_file;
};

// The text as cc1 reads it: a line directive first, so the markers and
// messages name the source as the command line does, and its lines count from 1.
std::string withLineDirective(const CLspSource& source)
{
    std::string name;
    for (const char c : source.name) {
        if (c == '"' || c == '\\') {
            name += '\\';
        }
        name += c;
    }
    return "#line 1 \"" + name + "\"\n" + source.text;
}

// Runs cc1 with its standard streams on the given files; the wait status,
// or -1 with errno when it could not be started.
int runIn(const std::string& folder, std::vector<std::string> arguments, int input, int output, int messages)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, messages, STDERR_FILENO);
    if (!folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    }
    std::vector<char*> argv = CChildProcess::argv(arguments);
    pid_t child = -1;
    const int error = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return CChildProcess::waitFor(child);
}
}  // namespace

CLspPreprocessor::CLspPreprocessor(std::string cc1) : m_cc1(std::move(cc1)) {}

std::vector<std::string> CLspPreprocessor::arguments(const CLspSource& source) const
{
    std::vector<std::string> arguments = {m_cc1, "-E", "-quiet", "-"};
    for (const std::string& argument : CAsmPreprocessor::languageArguments()) {
        arguments.push_back(argument);
    }
    for (const std::string& path : source.includePaths) {
        arguments.push_back("-I" + path);
    }
    for (const std::string& define : source.defines) {
        arguments.push_back("-D" + define);
    }
    return arguments;
}

CLspPreprocessed CLspPreprocessor::operator()(const CLspSource& source) const
{
    CLspPreprocessed result;
    const UnnamedFile input("rozedov-source");
    const UnnamedFile output("rozedov-preprocessed");
    const UnnamedFile messages("rozedov-messages");
    if (!input.isOpen() || !output.isOpen() || !messages.isOpen() || !input.hold(withLineDirective(source))) {
        result.messages = CToolMessage::line("error", "cannot hand the text to the preprocessor: " +
                                                          CToolMessage::systemError(errno));
        return result;
    }
    const int status = runIn(source.folder, arguments(source), input.fd(), output.fd(), messages.fd());
    if (status < 0) {
        result.messages = CToolMessage::line("error", "cannot run the preprocessor " + m_cc1 + ": " +
                                                          CToolMessage::systemError(errno));
        return result;
    }
    result.text = output.text();
    result.messages = messages.text();
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && result.messages.empty()) {
        result.messages = CToolMessage::line("error", "cannot run the preprocessor " + m_cc1);
    }
    return result;
}
