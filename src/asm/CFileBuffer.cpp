#include "asm/CFileBuffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "util/CFileTransaction.h"

CFileBuffer::CFileBuffer(std::string_view text) : m_data(text.begin(), text.end()) {}

namespace {
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::error_code lastError()
{
    return {errno, std::generic_category()};
}
}  // namespace

bool CFileBuffer::loadFromFile(const std::string& path, std::error_code& error)
{
    // Opened without waiting, so a FIFO or device is refused rather than waited on.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat status {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0) {
        error = lastError();
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = std::make_error_code(S_ISDIR(status.st_mode) ? std::errc::is_a_directory : std::errc::invalid_argument);
        return false;
    }
    // Sized once from the file's length, then read to its end.
    std::vector<std::uint8_t> data;
    data.reserve(static_cast<std::size_t>(status.st_size));
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), chunk, sizeof chunk);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = lastError();
            return false;
        }
        data.insert(data.end(), chunk, chunk + count);
    }
    m_data = std::move(data);
    m_pos = 0;
    error.clear();
    return true;
}

bool CFileBuffer::writeToFile(const std::string& path, std::error_code& error) const
{
    CFileTransaction transaction;
    std::string failedPath;
    return transaction.stage(path, text(), error) && transaction.commit(failedPath, error);
}

void CFileBuffer::append(std::string_view text)
{
    // As bytes, so the insertion is one block copy rather than a per-character conversion.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    m_data.insert(m_data.end(), bytes, bytes + text.size());
}

std::string_view CFileBuffer::text() const
{
    return {reinterpret_cast<const char*>(m_data.data()), m_data.size()};
}
