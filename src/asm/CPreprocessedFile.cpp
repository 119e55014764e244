#include "asm/CPreprocessedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "asm/CFileBuffer.h"
#include "util/CFileTransaction.h"
#include "util/CSignalCleanup.h"
#include "util/CToolMessage.h"

namespace {
// The run's file holds this one byte until a writer truncates it: the
// preprocessor opens its output with truncation, so a file that still holds
// it was never opened by the preprocessor.
constexpr char kUnwritten = '\0';

struct FileKindName {
    mode_t kind;
    const char* name;
};

// File kinds that are no place for the preprocessed text.
constexpr FileKindName kIrregularKinds[] = {
    {S_IFDIR, "a directory"},        {S_IFIFO, "a FIFO"},  {S_IFCHR, "a character device"},
    {S_IFBLK, "a block device"},     {S_IFSOCK, "a socket"},
};

void reportUnreadable(const std::string& reason)
{
    std::cout << "Error: Cannot read the preprocessed file " << CPreprocessedFile::kName << "." << std::endl;
    CToolMessage::error(reason);
}
}  // namespace

CPreprocessedFile::~CPreprocessedFile()
{
    finish();
}

bool CPreprocessedFile::isSharedLink()
{
    char text[64];
    const ssize_t length = ::readlink(kName, text, sizeof text);
    return length == static_cast<ssize_t>(std::strlen(kLinkText)) &&
           std::memcmp(text, kLinkText, static_cast<std::size_t>(length)) == 0;
}

bool CPreprocessedFile::isNamedBy(const std::string& path)
{
    if (isSharedLink()) {
        // The link leads each process elsewhere: only the link itself is it.
        struct stat link {};
        struct stat named {};
        return ::lstat(kName, &link) == 0 && ::lstat(path.c_str(), &named) == 0 && link.st_dev == named.st_dev &&
               link.st_ino == named.st_ino;
    }
    std::error_code error;
    return std::filesystem::equivalent(path, kName, error) && !error;
}

std::string CPreprocessedFile::describeIrregular()
{
    struct stat link {};
    struct stat target {};
    // The shared link leads each process to its own file: nothing to judge.
    if (isSharedLink() || ::lstat(kName, &link) != 0 || ::stat(kName, &target) != 0) {
        return {};
    }
    for (const FileKindName& entry : kIrregularKinds) {
        if ((target.st_mode & S_IFMT) == entry.kind) {
            return S_ISLNK(link.st_mode) ? std::string("a link to ") + entry.name : entry.name;
        }
    }
    return {};
}

bool CPreprocessedFile::checkKind()
{
    const std::string kind = describeIrregular();
    if (kind.empty()) {
        return true;
    }
    reportUnreadable(std::string(kName) + " is " + kind);
    return false;
}

bool CPreprocessedFile::prepare()
{
    if (!checkKind()) {
        return false;
    }
    m_finished = false;
    if (m_sharing == Sharing::WherePossible && openPrivateFile()) {
        if (m_lock.lock(CDirectoryLock::Mode::Shared)) {
            // A run ended by a signal takes the link along, where no other run needs it.
            CSignalCleanup::setSharedLink(m_lock.descriptor(), kName, kLinkText);
            return placeSharedLink();
        }
        closePrivateFile();
    }
    // Runs take turns: the preprocessor writes a new "a.ppf" itself. A link
    // goes, never its target.
    m_lock.lock(CDirectoryLock::Mode::Exclusive);
    if (::unlink(kName) != 0 && errno != ENOENT) {
        CToolMessage::error(std::string("cannot remove ") + kName + ": " + CToolMessage::systemError(errno));
        return false;
    }
    return true;
}

bool CPreprocessedFile::openPrivateFile()
{
#ifdef O_TMPFILE
    if (!CFileTransaction::descriptorPathsWork()) {
        return false;
    }
    // Private until it is put in place; it takes the usual mode then.
    m_fd = ::open(".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        return false;
    }
    if (::write(m_fd, &kUnwritten, 1) != 1) {
        closePrivateFile();
        return false;
    }
    return true;
#else
    return false;
#endif
}

bool CPreprocessedFile::placeSharedLink()
{
    // Another run's link is this run's as well; removing it even for a
    // moment could let that run's preprocessor create a file of its own.
    if (isSharedLink()) {
        return true;
    }
    std::error_code error;
    if (!CFileTransaction::replace(kName, [](const char* name) { return ::symlink(kLinkText, name); }, error)) {
        CToolMessage::error(std::string("cannot replace ") + kName + ": " + error.message());
        return false;
    }
    return true;
}

bool CPreprocessedFile::privateFileWritten() const
{
    struct stat status {};
    char first = 0;
    return ::fstat(m_fd, &status) != 0 || status.st_size != 1 || ::pread(m_fd, &first, 1, 0) != 1 ||
           first != kUnwritten;
}

bool CPreprocessedFile::load(CFileBuffer& into)
{
    std::string path = kName;
    if (m_fd >= 0 && isSharedLink()) {
        if (!privateFileWritten()) {
            reportUnreadable(std::string("the preprocessor did not write ") + kName);
            return false;
        }
        path = CFileTransaction::descriptorPath(m_fd);
    } else if (!checkKind()) {
        // Not the run's own file: "a.ppf" as the preprocessor left it.
        return false;
    }
    std::error_code error;
    if (!into.loadFromFile(path, error)) {
        reportUnreadable(std::string("cannot read ") + kName + ": " + error.message());
        return false;
    }
    return true;
}

void CPreprocessedFile::finish()
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    CSignalCleanup::setSharedLink(-1, nullptr, nullptr);
    // While other runs preprocess, the link stays; the last of them puts
    // its text in place.
    if (m_fd >= 0 && m_lock.tryLockAlone() && isSharedLink()) {
        putTextInPlace();
    }
    closePrivateFile();
    m_lock.unlock();
}

void CPreprocessedFile::putTextInPlace()
{
    // A run whose preprocessor wrote nothing leaves no "a.ppf", as alone.
    if (!privateFileWritten()) {
        ::unlink(kName);
        return;
    }
    // The intermediate file is no output of the run: a failure here is no
    // failure of the run, only a note.
    std::error_code error;
    if (::fchmod(m_fd, CFileTransaction::newFileMode()) != 0 || !CFileTransaction::linkIntoPlace(m_fd, kName, error)) {
        CToolMessage::note(std::string("cannot keep ") + kName + ": " +
                           (error ? error.message() : CToolMessage::systemError(errno)));
    }
}

void CPreprocessedFile::closePrivateFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
