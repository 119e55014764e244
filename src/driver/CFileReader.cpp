#include "driver/CFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "driver/CFileDescriptor.h"

bool CFileReader::read(const std::string& path, std::string& content, std::error_code& error)
{
    const CFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0) {
        error = {errno, std::generic_category()};
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = std::make_error_code(S_ISDIR(status.st_mode) ? std::errc::is_a_directory : std::errc::invalid_argument);
        return false;
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(status.st_size));
    if (const int failed = file.readToEnd(data); failed != 0) {
        error = {failed, std::generic_category()};
        return false;
    }
    content = std::move(data);
    error.clear();
    return true;
}
