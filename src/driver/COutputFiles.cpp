#include "driver/COutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "driver/CAsmPreprocessor.h"
#include "driver/CSignalCleanup.h"
#include "driver/CToolMessage.h"

namespace fs = std::filesystem;

namespace {
// Links followed at most, as the system does.
constexpr int kMaxLinks = 40;
constexpr const char* kTemporaryName = ".rozedov-XXXXXX";

std::string lastError()
{
    return CToolMessage::systemError(errno);
}

// The file a name stands for: links are followed to their final target,
// which need not exist yet.
std::string followLinks(const std::string& path)
{
    fs::path current = path;
    std::error_code error;
    for (int hop = 0; hop < kMaxLinks && fs::is_symlink(current, error); ++hop) {
        const fs::path target = fs::read_symlink(current, error);
        if (error) {
            break;
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current.string();
}

std::string folderOf(const std::string& path)
{
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
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
    struct stat status {};
    const uid_t user = ::geteuid();
    return ::stat(folder.c_str(), &status) != 0 || (status.st_mode & S_ISVTX) == 0 || user == 0 ||
           file.st_uid == user || status.st_uid == user;
}

std::string writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
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

bool COutputFiles::sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    if (fs::equivalent(a, b, error) && !error) {
        return true;
    }
    // The same name in the same folder, whatever the name itself is now.
    auto entry = [](const std::string& path, std::error_code& failed) {
        const fs::path name = fs::path(path).filename();
        return fs::weakly_canonical(fs::absolute(path, failed).parent_path(), failed) / name;
    };
    const fs::path first = entry(a, error);
    const fs::path second = error ? fs::path() : entry(b, error);
    return !error && first == second;
}

std::string COutputFiles::check(const std::string& path)
{
    Target target;
    target.path = path;
    return inspect(target);
}

std::string COutputFiles::inspect(Target& target)
{
    if (sameFile(target.path, CAsmPreprocessor::kOutputFile)) {
        return std::string("it is the preprocessor's file ") + CAsmPreprocessor::kOutputFile;
    }
    target.file = followLinks(target.path);
    const std::string folder = folderOf(target.file);
    struct stat status {};
    if (::lstat(target.file.c_str(), &status) != 0) {
        if (errno != ENOENT) {
            return lastError();
        }
        return checkFolder(folder);
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
    if (std::string reason = checkFolder(folder); !reason.empty()) {
        return reason;
    }
    return mayReplaceIn(folder, status) ? std::string() : CToolMessage::systemError(EPERM);
}

std::string COutputFiles::stage(Target& target)
{
    std::string name = (fs::path(folderOf(target.file)) / kTemporaryName).string();
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
    std::string reason = writeAll(fd, target.bytes);
    // mkstemp makes the file private: it takes the old file's bits, or a new file's.
    if (reason.empty() && ::fchmod(fd, target.existed ? target.mode : newFileMode()) != 0) {
        reason = lastError();
    }
    if (reason.empty() && target.existed && ::geteuid() == 0) {
        [[maybe_unused]] const int kept = ::fchown(fd, target.owner, target.group);
    }
    if (::close(fd) != 0 && reason.empty()) {
        reason = lastError();
    }
    return reason;
}

std::string COutputFiles::writeThrough(const Target& target)
{
    const int fd = ::open(target.file.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return lastError();
    }
    std::string reason = writeAll(fd, target.bytes);
    if (::close(fd) != 0 && reason.empty()) {
        reason = lastError();
    }
    return reason;
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
    for (std::size_t i = 0; i < m_targets.size(); ++i) {
        if (reasons[i].empty() && !m_targets[i].through) {
            reasons[i] = stage(m_targets[i]);
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
