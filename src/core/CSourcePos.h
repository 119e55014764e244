#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

// A place in a file as the user wrote it: file index, line, 1-based byte
// column and length in bytes. Column 0 means only the line is known; file
// index and line -1 mean no place at all.
struct CSourcePos {
    std::int32_t fileIndex = -1;
    std::int32_t line = -1;
    std::int32_t column = 0;
    std::int32_t length = 0;

    bool known() const { return fileIndex != -1 && line != -1; }
    bool operator==(const CSourcePos&) const = default;
};

// Where a piece of the preprocessed text stands in the user's files.
struct CLocation {
    CSourcePos pos;
    // The line the position counts in: the user's line as written, or, where
    // that could not be found, the line as preprocessed.
    std::string_view echo;
    // For a piece that a macro expansion made, the line as expanded; else empty.
    std::string_view expansion;
    // The line of the source file (the file assembled) the piece stands
    // under: its own, or that of the #include that brought its file in; -1
    // before the source's first line.
    std::int32_t sourceLine = -1;
};


// The texts of the user's files by the names the preprocessor's line markers
// give them: the files on disk, or an editor's unsaved buffers.
using CSourceTexts = std::map<std::string, std::string, std::less<>>;
