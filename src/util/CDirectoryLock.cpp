#include "util/CDirectoryLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

CDirectoryLock::~CDirectoryLock()
{
    close();
}

bool CDirectoryLock::open()
{
    if (m_fd < 0) {
        // Closed on exec, so no preprocessor that outlives the run keeps the lock.
        m_fd = ::open(m_directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    return m_fd >= 0;
}

void CDirectoryLock::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CDirectoryLock::lock(Mode mode)
{
    if (!open()) {
        return false;
    }
    const int operation = mode == Mode::Shared ? LOCK_SH : LOCK_EX;
    int locked = -1;
    do {
        locked = ::flock(m_fd, operation);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        close();
        return false;
    }
    return true;
}

bool CDirectoryLock::tryLockAlone()
{
    // Given up first: a shared lock is no claim to the exclusive one.
    unlock();
    if (!open()) {
        return false;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        close();
        return false;
    }
    return true;
}

void CDirectoryLock::unlock()
{
    // Closing the descriptor releases the lock.
    close();
}
