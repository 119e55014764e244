#include "driver/CFileDescriptor.h"

#include <unistd.h>

#include <cerrno>

int CFileDescriptor::readToEnd(std::string& text) const
{
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
        if (count == 0) {
            return 0;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        text.append(chunk, static_cast<std::size_t>(count));
    }
}

int CFileDescriptor::writeAll(std::string_view bytes) const
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;  // no room, and no reason given
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int CFileDescriptor::close()
{
    if (m_fd < 0) {
        return 0;
    }
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0 ? 0 : errno;
}
