#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The whole content of one file in memory with a read position: the parser
// reads from one, the emitters build their texts in one and write it whole.
class CFileBuffer {
public:
    CFileBuffer() = default;
    explicit CFileBuffer(std::string_view text);

    // Replaces the content with the bytes of a regular file; false, with
    // `error` set, when it cannot be read (the content is then unchanged).
    bool loadFromFile(const std::string& path, std::error_code& error);

    // Replaces the file `path` with the content, whole or not at all; false,
    // with `error` set and `path` untouched, on any failure.
    bool writeToFile(const std::string& path, std::error_code& error) const;

    void append(std::string_view text);
    std::string_view text() const;

    std::vector<std::uint8_t> m_data;
    std::size_t m_pos = 0;
};
