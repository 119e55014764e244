#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The whole content of one file in memory with a read position: the lexer
// reads from one.
class CFileBuffer {
public:
    CFileBuffer() = default;
    explicit CFileBuffer(std::string text) : m_data(std::move(text)) {}
    explicit CFileBuffer(std::string_view text) : m_data(text) {}
    explicit CFileBuffer(const char* text) : m_data(text) {}

    std::string_view text() const { return m_data; }

    std::string m_data;
    std::size_t m_pos = 0;
};
