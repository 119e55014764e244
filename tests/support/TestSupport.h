#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& content);

// A fresh directory that is the current directory while the object lives.
class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::filesystem::path m_previous;
};

// Result of running code or a program: what it printed and how it ended.
struct RunResult {
    std::string output;  // standard output
    std::string errors;  // standard error
    int status = 0;
};

// Runs a program as a child process (no shell) in the current directory;
// status is its exit status, or 128 plus the signal that ended it.
RunResult runProcess(const std::vector<std::string>& argv);

// A program started as a child process (no shell) in the current directory,
// its standard output and error going to files; waited for by finish().
class StartedProcess {
public:
    StartedProcess(const std::vector<std::string>& argv, const std::filesystem::path& outputFile,
                   const std::filesystem::path& errorFile);
    // Waits for the process if finish() was not called.
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    int pid() const { return m_pid; }
    // Waits for the end; the exit status, or 128 plus the ending signal.
    int finish();

private:
    int m_pid = -1;
};

// The command run as an ordinary user: as root, as "nobody" (uid 65534);
// otherwise as it is.
std::vector<std::string> asOrdinaryUser(const std::vector<std::string>& command);

// Path of the built rozedov program.
std::string assemblerBinary();
std::filesystem::path sourceDir();

}  // namespace testsupport
