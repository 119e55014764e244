#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The whole content of one file in memory with a read position: the lexer
// reads from one, the emitters build their texts in one.
class CFileBuffer {
public:
    CFileBuffer() = default;
    explicit CFileBuffer(std::string_view text);

    void append(std::string_view text);
    std::string_view text() const;

    std::vector<std::uint8_t> m_data;
    std::size_t m_pos = 0;
};
