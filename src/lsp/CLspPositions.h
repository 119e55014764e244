#pragma once

#include <nlohmann/json.hpp>

#include "core/CSourcePos.h"
#include "lsp/CLspDocument.h"

// Between the protocol's JSON places and the assembler's.
namespace CLspPositions {

using nlohmann::json;

// {"line", "character"} of a 0-based line and byte column.
json position(const CLspText& lines, std::size_t line, std::size_t byteColumn);
// The range of `length` bytes from a 0-based line and byte column.
json range(const CLspText& lines, std::size_t line, std::size_t byteColumn, std::size_t length);
// The range of a position of the result in its file's lines (null: counted
// in bytes): the token it names, or the whole line where only the line is known.
json range(const CLspText* lines, const CSourcePos& pos);
// {"uri", "range"} of a position of the document's analysis; null when the
// file has no address.
json location(const CLspDocument& document, const CSourcePos& pos);
// The range of a token of the document.
json range(const CLspDocument& document, const CLspToken& token);

// The 0-based line and byte column of params.position; throws CLspError
// when it is missing.
struct Place {
    std::size_t line = 0;
    std::size_t column = 0;  // bytes
};
Place place(const CLspDocument& document, const json& params);

}  // namespace CLspPositions
