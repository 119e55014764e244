#include "driver/CAsmPreprocessor.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <climits>
#include <ostream>
#include <system_error>

#include "driver/CAsmOptions.h"
#include "driver/CChildProcess.h"
#include "driver/CFileDescriptor.h"
#include "driver/CFileReader.h"
#include "driver/CPathName.h"
#include "driver/CSignalCleanup.h"
#include "driver/CToolMessage.h"

namespace {
constexpr const char* kPreprocessorName = "cc1";
// The status a child reports when the preprocessor could not be executed.
constexpr int kNotExecuted = 127;
constexpr const char* kUnreadable = "Error: Cannot read the preprocessed file a.ppf.";
constexpr const char* kLockWarning = "; runs side by side here may mix their files";

// The fixed arguments that follow the input name: the output file, then
// the source language and its predefined macros.
constexpr const char* kOutputArgument = "-oa.ppf";
constexpr const char* kLanguageArguments[] = {"-lang-asm", "-D__HASH__=#", "-D__VANTIC_TC__"};

struct FileKindName {
    mode_t kind;
    const char* name;
};

// File kinds that are no place for the preprocessed text.
constexpr FileKindName kIrregularKinds[] = {
    {S_IFDIR, "a directory"},    {S_IFIFO, "a FIFO"},   {S_IFCHR, "a character device"},
    {S_IFBLK, "a block device"}, {S_IFSOCK, "a socket"},
};

// An exclusive lock on the current directory: runs here take turns on
// "a.ppf". It is taken on the directory itself, so no lock file is left
// behind, and it ends with the process however that ends.
class FolderLock {
public:
    // Closed on exec: the preprocessor does not hold the lock.
    FolderLock() : m_folder(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (!m_folder.isOpen()) {
            m_error = errno;
            return;
        }
        int locked = -1;
        do {
            locked = ::flock(m_folder.get(), LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            m_error = errno;
        }
    }

    // 0 when the lock is held, else why not.
    int error() const { return m_error; }

private:
    CFileDescriptor m_folder;
    int m_error = 0;
};

bool isExistingFile(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

// The folder of the running executable; empty when it cannot be read.
std::string executableFolder()
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof self) {
        return {};
    }
    return CPathName::folderOf(std::string(self, static_cast<std::size_t>(length)));
}

// In the child: sends errno to the program and ends.
[[noreturn]] void reportExecError(int report)
{
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(report, &error, sizeof error);
    ::_exit(kNotExecuted);
}

// In the child, which shares the program's memory until it execs (vfork):
// only async-signal-safe calls, and none of the program's signal handlers
// may run in it. The child stays in the program's process group, so Ctrl-C
// reaches both and a terminal never stops it alone; it ends with the program
// (on Linux), takes the signal mask the program had, and reports a failed
// exec through `report`.
[[noreturn]] void execPreprocessor(char* const* argv, pid_t parent, const sigset_t& mask, int report)
{
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(kNotExecuted);
    }
#else
    (void)parent;
#endif
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
}  // namespace

CAsmPreprocessor::CAsmPreprocessor(const CAsmOptions& options) : m_options(&options) {}

std::string CAsmPreprocessor::locatePreprocessor() const
{
    return locate(m_options->m_programPath);
}

std::string CAsmPreprocessor::locate(const std::string& programPath)
{
    const std::string candidates[] = {
        CPathName::absoluteFolderOf(programPath),
        executableFolder(),
    };
    for (const std::string& folder : candidates) {
        const std::string path = CPathName::join(folder, kPreprocessorName);
        if (!folder.empty() && isExistingFile(path)) {
            return path;
        }
    }
    return kPreprocessorName;
}

std::vector<std::string> CAsmPreprocessor::buildArguments(const std::string& preprocessor) const
{
    const CAsmOptions& options = *m_options;
    std::vector<std::string> arguments = {preprocessor, "-E", "-quiet", options.m_inputFiles.front()};
    arguments.push_back(kOutputArgument);
    arguments.insert(arguments.end(), std::begin(kLanguageArguments), std::end(kLanguageArguments));
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
        arguments.insert(arguments.end(), {"-MMD", options.m_depFile});
        for (const std::string& output : options.outputFiles()) {
            arguments.insert(arguments.end(), {"-MQ", output});
        }
    }
    return arguments;
}

std::vector<std::string> CAsmPreprocessor::languageArguments()
{
    return {std::begin(kLanguageArguments), std::end(kLanguageArguments)};
}

std::string CAsmPreprocessor::describeIrregular()
{
    struct stat link {};
    struct stat target {};
    if (::lstat(kOutputFile, &link) != 0 || ::stat(kOutputFile, &target) != 0) {
        return {};
    }
    for (const FileKindName& entry : kIrregularKinds) {
        if ((target.st_mode & S_IFMT) == entry.kind) {
            return S_ISLNK(link.st_mode) ? std::string("a link to ") + entry.name : entry.name;
        }
    }
    return {};
}

// preprocess = lock, refuse an irregular a.ppf, remove the old one, cc1, read, unlock
bool CAsmPreprocessor::run(std::string& text, std::ostream& out, std::ostream& err)
{
    const FolderLock lock;
    if (lock.error() != 0) {
        err << CToolMessage::line("warning", std::string("cannot lock the folder for ") + kOutputFile + ": " +
                                                 CToolMessage::systemError(lock.error()) + kLockWarning);
    }
    if (const std::string kind = describeIrregular(); !kind.empty()) {
        out << kUnreadable << std::endl;
        err << CToolMessage::line("error", std::string(kOutputFile) + " is " + kind);
        return false;
    }
    // A link goes, never its target.
    if (::unlink(kOutputFile) != 0 && errno != ENOENT) {
        err << CToolMessage::line("error", std::string("cannot remove ") + kOutputFile + ": " +
                                               CToolMessage::systemError(errno));
        return false;
    }
    out.flush();
    return runToEnd(err) && readOutput(text, out, err);
}

bool CAsmPreprocessor::runToEnd(std::ostream& err) const
{
    std::vector<std::string> arguments = buildArguments(locatePreprocessor());
    std::vector<char*> argv = CChildProcess::argv(arguments);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        err << CToolMessage::line("error", "cannot start the preprocessor: " + CToolMessage::systemError(errno));
        return false;
    }
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
            execPreprocessor(argv.data(), parent, deferred.previousMask(), report[1]);
        }
        forkError = errno;
        CSignalCleanup::setChild(child);
    }
    ::close(report[1]);
    if (child < 0) {
        ::close(report[0]);
        err << CToolMessage::line("error", "cannot start the preprocessor: " + CToolMessage::systemError(forkError));
        return false;
    }
    const int execError = readExecError(report[0]);
    ::close(report[0]);
    const int status = CChildProcess::waitFor(child);
    CSignalCleanup::setChild(-1);

    if (execError != 0) {
        err << CToolMessage::line("error", "cannot run the preprocessor " + arguments.front() + ": " +
                                               CToolMessage::systemError(execError));
        return false;
    }
    if (status < 0) {
        err << CToolMessage::line("error", "cannot wait for the preprocessor: " + CToolMessage::systemError(errno));
        return false;
    }
    if (WIFSIGNALED(status)) {
        err << CToolMessage::line("error", "the preprocessor was ended by signal " + std::to_string(WTERMSIG(status)));
        return false;
    }
    if (WEXITSTATUS(status) != 0) {
        // The preprocessor has said what it found; this says where the run stopped.
        err << CToolMessage::line("error", "preprocessing failed (status " + std::to_string(WEXITSTATUS(status)) + ")");
        return false;
    }
    return true;
}

bool CAsmPreprocessor::readOutput(std::string& text, std::ostream& out, std::ostream& err) const
{
    struct stat status {};
    std::string reason;
    std::error_code error;
    if (::lstat(kOutputFile, &status) != 0) {
        reason = std::string("the preprocessor did not write ") + kOutputFile;
    } else if (const std::string kind = describeIrregular(); !kind.empty()) {
        reason = std::string(kOutputFile) + " is " + kind;
    } else if (!CFileReader::read(kOutputFile, text, error)) {
        reason = std::string("cannot read ") + kOutputFile + ": " + error.message();
    }
    if (reason.empty()) {
        return true;
    }
    out << kUnreadable << std::endl;
    err << CToolMessage::line("error", reason);
    return false;
}
