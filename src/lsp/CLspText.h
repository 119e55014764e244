#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Places in a document's text. The protocol counts a line's characters in
// UTF-16 code units; the assembler counts bytes.
class CLspText {
public:
    explicit CLspText(std::string_view text);

    std::size_t lineCount() const { return m_starts.size(); }
    // Line `line` (0-based) without its line break; empty past the end.
    std::string_view line(std::size_t line) const;
    // The UTF-16 column of byte `byte` (0-based) in `lineText`.
    static std::size_t utf16Column(std::string_view lineText, std::size_t byte);
    // The byte (0-based) at UTF-16 column `column` of `lineText`, at most its length.
    static std::size_t byteColumn(std::string_view lineText, std::size_t column);
    // The byte offset in the whole text of a protocol position.
    std::size_t offsetOf(std::size_t line, std::size_t column) const;

private:
    std::string_view m_text;
    std::vector<std::size_t> m_starts;  // each line's first byte
};

// file:// addresses and the paths they stand for.
class CLspUri {
public:
    // The path of a file:// address with its escapes decoded; empty for any
    // other scheme.
    static std::string toPath(std::string_view uri);
    // The file:// address of an absolute path.
    static std::string fromPath(std::string_view path);
};
