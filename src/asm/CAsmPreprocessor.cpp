#include "asm/CAsmPreprocessor.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "asm/CAsmOptions.h"
#include "asm/CCommonModules.h"
#include "util/CProgramExit.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {
constexpr const char* kPreprocessorName = "cc1";

// The fixed arguments that follow the input name.
constexpr const char* kFixedArguments[] = {
    "-oa.ppf", "-lang-asm", "-D__HASH__=#", "-D__VANTIC_TC__",
};

bool isExistingFile(const fs::path& path)
{
    std::error_code error;
    return fs::exists(path, error) && !error;
}

// The program's directory made absolute against the starting directory;
// empty when that has no absolute form.
fs::path programDirectory(const std::string& programPath)
{
    fs::path directory = fs::path(programPath).parent_path();
    if (directory.is_absolute()) {
        return directory;
    }
    std::error_code error;
    fs::path start = fs::current_path(error);
    if (error) {
        return {};
    }
    for (const fs::path& element : directory) {
        if (element == "..") {
            if (!start.has_relative_path()) {
                return {};
            }
            start = start.parent_path();
        } else if (element != "." && !element.empty()) {
            start /= element;
        }
    }
    return start;
}

fs::path executableDirectory()
{
    std::error_code error;
    fs::path self = fs::canonical("/proc/self/exe", error);
    return error ? fs::path() : self.parent_path();
}
}  // namespace

std::string CAsmPreprocessor::locatePreprocessor() const
{
    const fs::path candidates[] = {
        programDirectory(m_common->m_options->m_programPath),
        executableDirectory(),
    };
    for (const fs::path& directory : candidates) {
        if (!directory.empty() && isExistingFile(directory / kPreprocessorName)) {
            return (directory / kPreprocessorName).string();
        }
    }
    return kPreprocessorName;
}

std::vector<std::string> CAsmPreprocessor::buildArguments(const std::string& preprocessor) const
{
    const CAsmOptions& options = *m_common->m_options;
    std::vector<std::string> arguments = {preprocessor, "-E", "-quiet", m_inputName};
    arguments.insert(arguments.end(), std::begin(kFixedArguments), std::end(kFixedArguments));
    for (const std::string& path : options.m_includePaths) {
        arguments.push_back("-I" + path);
    }
    for (const std::string& define : options.m_defines) {
        arguments.push_back("-D" + define);
    }
    for (const std::string& name : options.m_undefines) {
        arguments.push_back("-U" + name);
    }
    return arguments;
}

std::string CAsmPreprocessor::shellQuote(const std::string& argument)
{
    // Inside single quotes the shell expands nothing; a single quote itself
    // is written as '\'' (close, escaped quote, reopen).
    std::string quoted = "'";
    for (char c : argument) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

std::string CAsmPreprocessor::buildCommand(const std::vector<std::string>& arguments)
{
    std::string command;
    for (const std::string& argument : arguments) {
        if (!command.empty()) {
            command += ' ';
        }
        command += shellQuote(argument);
    }
    return command;
}

CAsmPreprocessor::~CAsmPreprocessor()
{
    waitForEnd();
}

void CAsmPreprocessor::run()
{
    if (!start() || !waitForEnd()) {
        CProgramExit::stop(1);
    }
}

// The command runs as the command processor would run it: through /bin/sh -c.
bool CAsmPreprocessor::start()
{
    waitForEnd();
    m_status = -1;
    if (!emptyOutputFile()) {
        return false;
    }
    std::string command = buildCommand(buildArguments(locatePreprocessor()));
    std::cout.flush();
    char shell[] = "/bin/sh";
    char flag[] = "-c";
    char* argv[] = {shell, flag, command.data(), nullptr};
    pid_t child = -1;
    if (::posix_spawn(&child, shell, nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    m_child = child;
    return true;
}

// Emptied in place, so a link or the file's permissions stay; a missing
// file is left to the preprocessor to create.
bool CAsmPreprocessor::emptyOutputFile() const
{
    const int fd = ::open(kOutputFile, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    return errno == ENOENT;
}

bool CAsmPreprocessor::hasEnded()
{
    return m_child < 0 || reap(WNOHANG);
}

bool CAsmPreprocessor::waitForEnd()
{
    if (m_child >= 0) {
        reap(0);
    }
    return m_status == 0;
}

bool CAsmPreprocessor::reap(int options)
{
    int status = 0;
    pid_t ended = -1;
    do {
        ended = ::waitpid(m_child, &status, options);
    } while (ended < 0 && errno == EINTR);
    if (ended == 0) {
        return false;
    }
    // A child lost to someone else's wait counts as failed.
    m_status = ended == m_child ? status : -1;
    m_child = -1;
    return true;
}
