#include "asm/CFileTail.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <utility>

#include "asm/CFileBuffer.h"

namespace {
constexpr std::size_t kReadBytes = 1 << 20;
// How long to wait before looking again: short beside the writer's run,
// long beside a system call.
constexpr long kPauseNanoseconds = 500'000;
}  // namespace

CFileTail::CFileTail(std::string path, std::function<bool()> writerEnded)
    : m_path(std::move(path)), m_writerEnded(std::move(writerEnded))
{
}

CFileTail::~CFileTail()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool CFileTail::appendMore(CFileBuffer& buffer)
{
    const std::size_t before = buffer.m_data.size();
    while (!m_done && buffer.m_data.size() == before) {
        // Asked first: once the writer has ended, the read below gets everything.
        const bool ended = m_writerEnded();
        if ((m_fd >= 0 || openFile()) && !readAvailable(buffer)) {
            m_failed = true;
            m_done = true;
        } else if (ended) {
            finish(buffer);
        } else if (buffer.m_data.size() == before) {
            pause();
        }
    }
    return buffer.m_data.size() > before;
}

void CFileTail::finish(CFileBuffer& buffer)
{
    appendLines(buffer, m_partial.data(), m_partial.size());
    m_partial.clear();
    m_failed = m_fd < 0;
    m_done = true;
}

bool CFileTail::openFile()
{
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    return m_fd >= 0;
}

bool CFileTail::readAvailable(CFileBuffer& buffer)
{
    std::vector<char>& chunk = m_chunk;
    chunk.resize(kReadBytes);
    for (;;) {
        const ssize_t got = ::read(m_fd, chunk.data(), chunk.size());
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        const auto size = static_cast<std::size_t>(got);
        std::size_t lineEnd = size;
        while (lineEnd > 0 && chunk[lineEnd - 1] != '\n') {
            --lineEnd;
        }
        if (lineEnd == 0) {
            m_partial.append(chunk.data(), size);
            continue;
        }
        appendLines(buffer, m_partial.data(), m_partial.size());
        appendLines(buffer, chunk.data(), lineEnd);
        m_partial.assign(chunk.data() + lineEnd, size - lineEnd);
    }
}

void CFileTail::appendLines(CFileBuffer& buffer, const char* bytes, std::size_t size)
{
    const auto* first = reinterpret_cast<const std::uint8_t*>(bytes);
    buffer.m_data.insert(buffer.m_data.end(), first, first + size);
}

void CFileTail::pause()
{
    const timespec interval{0, kPauseNanoseconds};
    ::nanosleep(&interval, nullptr);
}
