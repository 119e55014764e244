#include "driver/COutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "driver/CAsmPreprocessor.h"
#include "driver/CFileDescriptor.h"
#include "driver/CPathName.h"
#include "driver/CSignalCleanup.h"
#include "driver/CToolMessage.h"

namespace {
constexpr const char* kTemporaryName = ".rozedov-XXXXXX";

std::string lastError()
{
    return CToolMessage::systemError(errno);
}

// Why nothing can be created in the folder, or empty.
std::string checkFolder(const std::string& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) {
        return lastError();
    }
    if (!S_ISDIR(status.st_mode)) {
        return CToolMessage::systemError(ENOTDIR);
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return lastError();
    }
    return {};
}

// In a sticky folder only the owners of the file or of the folder may
// replace a file.
bool mayReplaceIn(const std::string& folder, const struct stat& file)
{
    const uid_t user = ::geteuid();
    if (user == 0 || file.st_uid == user) {
        return true;
    }
    struct stat status {};
    return ::stat(folder.c_str(), &status) != 0 || (status.st_mode & S_ISVTX) == 0 || status.st_uid == user;
}

// The system's text for a failed call's errno value; empty for 0.
std::string reasonFor(int error)
{
    return error == 0 ? std::string() : CToolMessage::systemError(error);
}

// Closes the file: why the run failed so far, or else why closing failed.
std::string closeWith(CFileDescriptor& file, const std::string& reason)
{
    const int failed = file.close();
    return reason.empty() ? reasonFor(failed) : reason;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
}  // namespace

COutputFiles::~COutputFiles()
{
    discard();
}

void COutputFiles::add(const std::string& path, std::string_view bytes)
{
    Target target;
    target.path = path;
    target.bytes = bytes;
    m_targets.push_back(std::move(target));
}

bool COutputFiles::namesIntermediate(const std::string& path)
{
    if (CPathName::sameFile(path, CAsmPreprocessor::kOutputFile)) {
        return true;
    }
    // The name in this folder, whatever the name is now (a dangling link, or nothing).
    return CPathName::baseName(path) == CAsmPreprocessor::kOutputFile &&
           CPathName::sameFile(CPathName::folderOf(path), ".");
}

std::string COutputFiles::check(const std::string& path)
{
    Target target;
    target.path = path;
    std::string reason = inspect(target);
    // Nothing is staged for it: whether a new file can be made is asked here.
    if (reason.empty() && !target.existed) {
        reason = checkFolder(CPathName::folderOf(target.file));
    }
    return reason;
}

std::string COutputFiles::inspect(Target& target)
{
    if (namesIntermediate(target.path)) {
        return std::string("it is the preprocessor's file ") + CAsmPreprocessor::kOutputFile;
    }
    target.file = CPathName::followLinks(target.path);
    struct stat status {};
    if (::lstat(target.file.c_str(), &status) != 0) {
        // A new file: making its temporary file says whether it can be made.
        return errno == ENOENT ? std::string() : lastError();
    }
    target.existed = true;
    target.mode = status.st_mode & 07777;
    target.owner = status.st_uid;
    target.group = status.st_gid;
    if (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode)) {
        target.through = true;
        return ::access(target.file.c_str(), W_OK) == 0 ? std::string() : lastError();
    }
    if (S_ISDIR(status.st_mode)) {
        return CToolMessage::systemError(EISDIR);
    }
    if (!S_ISREG(status.st_mode)) {
        return "not a regular file, a character device or a FIFO";
    }
    // Renaming over it comes after every file is staged: it must not fail then.
    return mayReplaceIn(CPathName::folderOf(target.file), status) ? std::string() : CToolMessage::systemError(EPERM);
}

std::string COutputFiles::stage(Target& target, mode_t newMode)
{
    std::string name = CPathName::join(CPathName::folderOf(target.file), kTemporaryName);
    int fd = -1;
    {
        // Created and registered as one step: a signal removes it.
        const CSignalCleanup::Deferred deferred;
        fd = ::mkstemp(name.data());
        if (fd < 0) {
            return lastError();
        }
        target.temporary = name;
        CSignalCleanup::addTemporary(name);
    }
    CFileDescriptor file(fd);
    std::string reason = reasonFor(file.writeAll(target.bytes));
    // mkstemp makes the file private: it takes the old file's bits, or a new file's.
    if (reason.empty() && ::fchmod(file.get(), target.existed ? target.mode : newMode) != 0) {
        reason = lastError();
    }
    if (reason.empty() && target.existed && ::geteuid() == 0) {
        [[maybe_unused]] const int kept = ::fchown(file.get(), target.owner, target.group);
    }
    return closeWith(file, reason);
}

std::string COutputFiles::writeThrough(const Target& target)
{
    CFileDescriptor file(::open(target.file.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen()) {
        return lastError();
    }
    return closeWith(file, reasonFor(file.writeAll(target.bytes)));
}

// outputs = check every target, stage every file, then rename all, then
// write devices and FIFOs
std::vector<COutputFiles::Failure> COutputFiles::write()
{
    // Why each target failed, by target: a failing file gets its own message.
    std::vector<std::string> reasons(m_targets.size());
    for (std::size_t i = 0; i < m_targets.size(); ++i) {
        reasons[i] = inspect(m_targets[i]);
    }
    const mode_t newMode = newFileMode();
    for (std::size_t i = 0; i < m_targets.size(); ++i) {
        if (reasons[i].empty() && !m_targets[i].through) {
            reasons[i] = stage(m_targets[i], newMode);
        }
    }
    std::vector<Failure> failures;
    for (std::size_t i = 0; i < m_targets.size(); ++i) {
        if (!reasons[i].empty()) {
            failures.push_back({m_targets[i].path, reasons[i]});
        }
    }
    if (!failures.empty()) {
        discard();
        return failures;
    }
    {
        // A signal waits until the whole set is in place: never a mixture.
        const CSignalCleanup::Deferred deferred;
        for (Target& target : m_targets) {
            if (target.through) {
                continue;
            }
            if (std::rename(target.temporary.c_str(), target.file.c_str()) != 0) {
                failures.push_back({target.path, lastError()});
                continue;
            }
            CSignalCleanup::forgetTemporary(target.temporary);
            target.temporary.clear();
        }
    }
    for (const Target& target : m_targets) {
        if (target.through) {
            if (std::string reason = writeThrough(target); !reason.empty()) {
                failures.push_back({target.path, reason});
            }
        }
    }
    discard();
    return failures;
}

void COutputFiles::discard()
{
    for (Target& target : m_targets) {
        if (!target.temporary.empty()) {
            ::unlink(target.temporary.c_str());
            CSignalCleanup::forgetTemporary(target.temporary);
            target.temporary.clear();
        }
    }
}
