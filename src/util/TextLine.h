#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Lines of a text, as messages show them.
namespace TextLine {

// The line of `text` that holds `offset` (the last line for an offset at the
// end), without its line feed and a carriage return before it.
std::string_view around(std::string_view text, std::size_t offset);
// Where that line begins in `text`.
std::size_t startOf(std::string_view text, std::size_t offset);
// The text with every control character but the tab shown as "?", so that
// it stays on one line of a terminal.
std::string oneLine(std::string_view text);

}  // namespace TextLine
