#include "driver/CFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool CFileReader::read(const std::string& path, std::string& content, std::error_code& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        error = {errno, std::generic_category()};
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        error = std::make_error_code(S_ISDIR(status.st_mode) ? std::errc::is_a_directory : std::errc::invalid_argument);
        return false;
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(status.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = {errno, std::generic_category()};
            ::close(fd);
            return false;
        }
        data.append(chunk, static_cast<std::size_t>(count));
    }
    ::close(fd);
    content = std::move(data);
    error.clear();
    return true;
}
