#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "util/CHugePageMemory.h"

// The whole content of one file in memory with a read position: the parser
// reads from one, the emitters build their texts in one and write it whole.
class CFileBuffer {
public:
    CFileBuffer() = default;
    explicit CFileBuffer(std::string_view text);

    // Replaces the content with the file's bytes; false when it cannot be read.
    bool loadFromFile(const std::string& path);

    // Writes the content to a temporary file beside `path` and renames it over
    // `path` only when complete; false (and `path` untouched) on any failure.
    bool writeToFile(const std::string& path) const;

    void append(std::string_view text);

    // Waits until more content has been appended by m_more; false when none
    // will come (always, without m_more).
    bool awaitMore() { return m_more && m_more(*this); }
    std::string_view text() const;

    // Whole files and output texts run to many megabytes: huge pages.
    using Bytes = std::vector<std::uint8_t, CHugePageAllocator<std::uint8_t>>;

    Bytes m_data;
    std::size_t m_pos = 0;
    // For content that is still arriving: appends more of it, waiting while
    // none is there yet; false at its end. Appended content ends with whole lines.
    std::function<bool(CFileBuffer&)> m_more;
};
