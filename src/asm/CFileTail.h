#pragma once

#include <functional>
#include <string>
#include <vector>

class CFileBuffer;

// Reads a file while another process writes it: hands out the complete lines
// written so far, and the rest once the writer has ended. The writer must
// only append, as the preprocessor does.
class CFileTail {
public:
    // `writerEnded` tells whether the writer is done; it is asked before
    // every read, so a read after a true answer sees the whole file.
    CFileTail(std::string path, std::function<bool()> writerEnded);
    ~CFileTail();
    CFileTail(const CFileTail&) = delete;
    CFileTail& operator=(const CFileTail&) = delete;

    // Appends to `buffer` the complete lines that have arrived, waiting for
    // at least one while the writer runs; at the writer's end also the last,
    // unterminated line. False when nothing more will come.
    bool appendMore(CFileBuffer& buffer);

    // Whether the writer ended without the file ever appearing, or reading failed.
    bool failed() const { return m_failed; }

private:
    bool openFile();
    // Reads what the file holds now into `buffer` (whole lines) and m_partial.
    bool readAvailable(CFileBuffer& buffer);
    // The writer has ended: the last line goes out too, terminated or not.
    void finish(CFileBuffer& buffer);
    static void pause();

    std::string m_path;
    std::function<bool()> m_writerEnded;
    int m_fd = -1;
    bool m_done = false;
    bool m_failed = false;
    std::string m_partial;  // the bytes after the last newline read so far
    std::vector<char> m_chunk;
};
