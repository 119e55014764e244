#pragma once

#include <string>
#include <string_view>

// An open file descriptor and its one owner: closed when the owner goes.
// Its reads and writes go on through interrupted calls and short counts.
class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd = -1) noexcept : m_fd(fd) {}
    ~CFileDescriptor() { close(); }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

    // Appends what the file holds from its offset to its end to `text`;
    // 0, or the errno of the read that failed.
    int readToEnd(std::string& text) const;
    // Writes all of `bytes` at the file's offset; 0, or the errno of the
    // write that failed.
    int writeAll(std::string_view bytes) const;
    // Closes it now; 0, or the errno of a failed close (a write that failed late).
    int close();

private:
    int m_fd;
};
