#pragma once

#include <cstddef>
#include <cstdint>
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
    std::string_view text() const;

    // Whole files and output texts run to many megabytes: huge pages.
    using Bytes = std::vector<std::uint8_t, CHugePageAllocator<std::uint8_t>>;

    Bytes m_data;
    std::size_t m_pos = 0;
};
