#include "asm/CFileBuffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

CFileBuffer::CFileBuffer(std::string_view text) : m_data(text.begin(), text.end()) {}

bool CFileBuffer::loadFromFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    // Sized once from the file's length when it is known, then read in chunks
    // (a file that grows or shrinks meanwhile is still read whole).
    Bytes data;
    const std::streamoff size = in.seekg(0, std::ios::end).tellg();
    in.clear();
    if (size > 0) {
        data.reserve(static_cast<std::size_t>(size));
        in.seekg(0, std::ios::beg);
    }
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(chunk);
        data.insert(data.end(), bytes, bytes + in.gcount());
    }
    if (in.bad()) {
        return false;
    }
    m_data = std::move(data);
    m_pos = 0;
    return true;
}

namespace {
bool writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}
}  // namespace

bool CFileBuffer::writeToFile(const std::string& path) const
{
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, m_data.data(), m_data.size());
    // mkstemp creates the file private; give it the usual mode of a new file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ok = (::fchmod(fd, 0666 & ~mask) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0) {
        return true;
    }
    std::remove(temp.c_str());
    return false;
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
