#include "asm/CFileTail.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string_view>
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
    buffer.append(m_partial);
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
    m_chunk.resize(kReadBytes);
    for (;;) {
        const ssize_t got = ::read(m_fd, m_chunk.data(), m_chunk.size());
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        const std::string_view read(m_chunk.data(), static_cast<std::size_t>(got));
        const std::size_t lastNewline = read.rfind('\n');
        if (lastNewline == std::string_view::npos) {
            m_partial += read;
            continue;
        }
        buffer.append(m_partial);
        buffer.append(read.substr(0, lastNewline + 1));
        m_partial = read.substr(lastNewline + 1);
    }
}

void CFileTail::pause()
{
    const timespec interval{0, kPauseNanoseconds};
    ::nanosleep(&interval, nullptr);
}
