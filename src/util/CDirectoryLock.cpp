#include "util/CDirectoryLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

CDirectoryLock::CDirectoryLock(const char* directory)
{
    // Closed on exec, so no preprocessor that outlives the run keeps the lock.
    m_fd = ::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    int locked = -1;
    do {
        locked = ::flock(m_fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

CDirectoryLock::~CDirectoryLock()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}
