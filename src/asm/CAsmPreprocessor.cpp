#include "asm/CAsmPreprocessor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "asm/CAsmOptions.h"
#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "util/CProgramExit.h"
#include "util/CSignalCleanup.h"
#include "util/CToolMessage.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kPreprocessorName = "cc1";
// The status a child reports when the preprocessor could not be executed.
constexpr int kNotExecuted = 127;

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

// In the child: sends errno to the program and ends.
[[noreturn]] void reportExecError(int report)
{
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(report, &error, sizeof error);
    ::_exit(kNotExecuted);
}

// In the child: the run's file on the descriptor the shared link names,
// open across exec; `report` moves aside first when it sits there.
bool inheritAsOutput(int output, int& report)
{
    constexpr int target = CPreprocessedFile::kDescriptor;
    if (report == target && (report = ::fcntl(report, F_DUPFD_CLOEXEC, target + 1)) < 0) {
        return false;
    }
    if (output == target) {
        return ::fcntl(output, F_SETFD, 0) == 0;
    }
    return ::dup2(output, target) == target;
}

// In the child, which shares the program's memory until it execs (vfork):
// only async-signal-safe calls, and none of the program's signal handlers
// may run in it. The child leads a process group of its own, ends with the
// program (on Linux), takes the signal mask the program had, finds the run's
// file (when `output` is one) where the shared "a.ppf" leads, and reports a
// failed exec through `report`.
[[noreturn]] void execPreprocessor(char* const* argv, pid_t parent, const sigset_t& mask, int report, int output)
{
    ::setpgid(0, 0);
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(kNotExecuted);
    }
#else
    (void)parent;
#endif
    // The child's dispositions are its own: handled signals go back to the
    // default before they are let through (exec would do it anyway).
    const sigset_t handled = CSignalCleanup::handledSignals();
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction current {};
        if (sigismember(&handled, signal) == 1 && ::sigaction(signal, nullptr, &current) == 0 &&
            current.sa_handler != SIG_IGN) {
            ::sigaction(signal, &byDefault, nullptr);
        }
    }
    ::sigprocmask(SIG_SETMASK, &mask, nullptr);
    if (output >= 0 && !inheritAsOutput(output, report)) {
        reportExecError(report);
    }
    ::execvp(argv[0], argv);
    reportExecError(report);
}

// The errno a child sent before it ended, or 0 when it executed.
int readExecError(int fd)
{
    int error = 0;
    ssize_t count = -1;
    do {
        count = ::read(fd, &error, sizeof error);
    } while (count < 0 && errno == EINTR);
    return count == static_cast<ssize_t>(sizeof error) ? error : 0;
}

int waitForChild(pid_t child)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return status;
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
    // Only with --depfile: the preprocessor writes the make rule itself,
    // every output file its target.
    if (!options.m_depFile.empty()) {
        arguments.insert(arguments.end(), {"-MD", options.m_depFile});
        for (const std::string& output : options.outputFiles()) {
            arguments.insert(arguments.end(), {"-MQ", output});
        }
    }
    return arguments;
}

void CAsmPreprocessor::run()
{
    if (!m_output.prepare() || !runToEnd()) {
        m_output.finish();
        CProgramExit::stop(1);
    }
}

bool CAsmPreprocessor::runToEnd() const
{
    std::vector<std::string> arguments = buildArguments(locatePreprocessor());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        CToolMessage::error("cannot start the preprocessor: " + CToolMessage::systemError(errno));
        return false;
    }
    std::cout.flush();
    pid_t child = -1;
    int forkError = 0;
    {
        // A signal from here on finds the child registered, to be ended with the run.
        const CSignalCleanup::Deferred deferred;
        const pid_t parent = ::getpid();
        // vfork: nothing of the program is copied for a child that execs at once.
        child = ::vfork();
        if (child == 0) {
            ::close(report[0]);
            execPreprocessor(argv.data(), parent, deferred.previousMask(), report[1], m_output.descriptor());
        }
        forkError = errno;
        if (child > 0) {
            ::setpgid(child, child);
            CSignalCleanup::setChildGroup(child);
        }
    }
    ::close(report[1]);
    if (child < 0) {
        ::close(report[0]);
        CToolMessage::error("cannot start the preprocessor: " + CToolMessage::systemError(forkError));
        return false;
    }
    const int execError = readExecError(report[0]);
    ::close(report[0]);
    const int status = waitForChild(child);
    CSignalCleanup::setChildGroup(-1);

    if (execError != 0) {
        CToolMessage::error("cannot run the preprocessor " + arguments.front() + ": " + CToolMessage::systemError(execError));
        return false;
    }
    if (status < 0) {
        CToolMessage::error("cannot wait for the preprocessor: " + CToolMessage::systemError(errno));
        return false;
    }
    if (WIFSIGNALED(status)) {
        CToolMessage::error("the preprocessor was ended by signal " + std::to_string(WTERMSIG(status)));
        return false;
    }
    if (WEXITSTATUS(status) != 0) {
        // The preprocessor has said what it found; this says where the run stopped.
        CToolMessage::error("preprocessing failed (status " + std::to_string(WEXITSTATUS(status)) + ")");
        return false;
    }
    return true;
}

bool CAsmPreprocessor::loadOutput(CFileBuffer& into)
{
    const bool loaded = m_output.load(into);
    m_output.finish();
    return loaded;
}
