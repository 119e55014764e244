#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "driver/CChildProcess.h"

extern char** environ;

namespace testsupport {

namespace fs = std::filesystem;

namespace {
int statusOf(int wstatus)
{
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}
}  // namespace


std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const fs::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

ScopedTempDir::ScopedTempDir() : m_previous(fs::current_path())
{
    std::string pattern = (fs::temp_directory_path() / "rozedov-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
    fs::current_path(m_path);
}

ScopedTempDir::~ScopedTempDir()
{
    std::error_code error;
    fs::current_path(m_previous, error);
    fs::remove_all(m_path, error);
}

RunResult runProcess(const std::vector<std::string>& arguments)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // Standard error goes to a file, read once the program has ended.
    std::FILE* errors = std::tmpfile();
    if (errors == nullptr) {
        throw std::runtime_error("tmpfile failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, ::fileno(errors), 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> storage = arguments;
    std::vector<char*> argv = CChildProcess::argv(storage);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    RunResult result;
    char chunk[4096];
    ssize_t count = 0;
    while ((count = ::read(pipeFds[0], chunk, sizeof chunk)) > 0) {
        result.output.append(chunk, static_cast<std::size_t>(count));
    }
    ::close(pipeFds[0]);
    if (spawned != 0) {
        std::fclose(errors);
        result.status = 127;
        return result;
    }
    const int wstatus = CChildProcess::waitFor(pid);
    std::rewind(errors);
    while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, errors)) {
        result.errors.append(chunk, got);
    }
    std::fclose(errors);
    result.status = statusOf(wstatus);
    return result;
}

StartedProcess::StartedProcess(const std::vector<std::string>& arguments, const fs::path& outputFile,
                               const fs::path& errorFile)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> storage = arguments;
    std::vector<char*> argv = CChildProcess::argv(storage);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + arguments.front());
    }
    m_pid = pid;
}

StartedProcess::~StartedProcess()
{
    if (m_pid > 0) {
        finish();
    }
}

int StartedProcess::finish()
{
    const int wstatus = CChildProcess::waitFor(m_pid);
    m_pid = -1;
    return statusOf(wstatus);
}

std::vector<std::string> asOrdinaryUser(const std::vector<std::string>& command)
{
    if (::geteuid() != 0) {
        return command;
    }
    std::vector<std::string> wrapped = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    wrapped.insert(wrapped.end(), command.begin(), command.end());
    return wrapped;
}

std::string assemblerBinary()
{
    return ROZEDOV_BINARY;
}

fs::path sourceDir()
{
    return ROZEDOV_SOURCE_DIR;
}

}  // namespace testsupport
