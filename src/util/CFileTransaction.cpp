#include "util/CFileTransaction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "util/CSignalCleanup.h"

namespace fs = std::filesystem;

namespace {
std::error_code lastError()
{
    return {errno, std::generic_category()};
}

// The file a name stands for: links are followed to their final target,
// which need not exist yet. A loop of links is left to fail when written.
std::string resolveLinks(const std::string& path)
{
    constexpr int kMaxLinks = 40;
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

bool writeAll(int fd, std::string_view bytes, std::error_code& error)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = lastError();
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A fresh name beside `target` for a file that is renamed over it.
std::string uniqueTempName(const std::string& target)
{
    static std::minstd_rand generator(static_cast<unsigned>(::getpid()));
    return target + ".tmp" + std::to_string(generator() % 1000000);
}
}  // namespace

bool CFileTransaction::descriptorPathsWork()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

std::string CFileTransaction::descriptorPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

mode_t CFileTransaction::newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

CFileTransaction::~CFileTransaction()
{
    abandon();
}

bool CFileTransaction::stage(const std::string& path, std::string_view bytes, std::error_code& error)
{
    Staged staged;
    staged.path = path;
    staged.target = resolveLinks(path);
    if (!openTemporary(staged, error) || !writeAll(staged.fd, bytes, error)) {
        discard(staged);
        m_failed = true;
        return false;
    }
    m_staged.push_back(std::move(staged));
    return true;
}

bool CFileTransaction::openTemporary(Staged& staged, std::error_code& error)
{
    const mode_t mode = newFileMode();
#ifdef O_TMPFILE
    if (descriptorPathsWork()) {
        staged.fd = ::open(folderOf(staged.target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (staged.fd >= 0) {
            return true;
        }
        // Where the file system has no unnamed files, a named one serves.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error = lastError();
            return false;
        }
    }
#endif
    std::string name = staged.target + ".XXXXXX";
    {
        // Created and registered as one step: a signal removes it.
        const CSignalCleanup::Deferred deferred;
        staged.fd = ::mkstemp(name.data());
        if (staged.fd < 0) {
            error = lastError();
            return false;
        }
        staged.tempName = name;
        staged.cleanupSlot = CSignalCleanup::addTempFile(name.c_str());
    }
    // mkstemp creates the file private; give it the usual mode of a new file.
    if (::fchmod(staged.fd, mode) != 0) {
        error = lastError();
        return false;
    }
    return true;
}

bool CFileTransaction::commit(std::string& failedPath, std::error_code& error)
{
    if (m_failed) {
        abandon();
        return false;
    }
    for (Staged& staged : m_staged) {
        if (::fsync(staged.fd) != 0) {
            failedPath = staged.path;
            error = lastError();
            abandon();
            return false;
        }
    }
    // A signal waits until the whole set is in place: never a mixture.
    const CSignalCleanup::Deferred deferred;
    for (Staged& staged : m_staged) {
        if (!place(staged, error)) {
            failedPath = staged.path;
            abandon();
            return false;
        }
        discard(staged);
    }
    m_staged.clear();
    return true;
}

bool CFileTransaction::place(Staged& staged, std::error_code& error)
{
    if (staged.tempName.empty()) {
        return linkIntoPlace(staged.fd, staged.target, error);
    }
    const CSignalCleanup::Deferred deferred;
    if (std::rename(staged.tempName.c_str(), staged.target.c_str()) != 0) {
        error = lastError();
        return false;
    }
    CSignalCleanup::forgetTempFile(staged.cleanupSlot);
    staged.cleanupSlot = -1;
    staged.tempName.clear();
    return true;
}

bool CFileTransaction::linkIntoPlace(int fd, const std::string& target, std::error_code& error)
{
    // The target's name directly when there is none yet, else through a
    // temporary name renamed over it.
    const std::string source = descriptorPath(fd);
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        error = lastError();
        return false;
    }
    return replace(
        target,
        [&source](const char* name) { return ::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW); },
        error);
}

bool CFileTransaction::replace(const std::string& target, const std::function<int(const char* name)>& create,
                               std::error_code& error)
{
    const CSignalCleanup::Deferred deferred;
    std::string name = uniqueTempName(target);
    while (create(name.c_str()) != 0) {
        if (errno != EEXIST) {
            error = lastError();
            return false;
        }
        name = uniqueTempName(target);
    }
    const int slot = CSignalCleanup::addTempFile(name.c_str());
    const bool renamed = std::rename(name.c_str(), target.c_str()) == 0;
    if (!renamed) {
        error = lastError();
        ::unlink(name.c_str());
    }
    CSignalCleanup::forgetTempFile(slot);
    return renamed;
}

void CFileTransaction::abandon()
{
    for (Staged& staged : m_staged) {
        discard(staged);
    }
    m_staged.clear();
}

void CFileTransaction::discard(Staged& staged)
{
    const CSignalCleanup::Deferred deferred;
    if (staged.fd >= 0) {
        ::close(staged.fd);
        staged.fd = -1;
    }
    if (!staged.tempName.empty()) {
        ::unlink(staged.tempName.c_str());
        staged.tempName.clear();
    }
    CSignalCleanup::forgetTempFile(staged.cleanupSlot);
    staged.cleanupSlot = -1;
}
