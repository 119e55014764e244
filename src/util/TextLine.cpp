#include "util/TextLine.h"

namespace TextLine {

std::size_t startOf(std::string_view text, std::size_t offset)
{
    if (offset > text.size()) {
        offset = text.size();
    }
    const std::size_t before = offset == 0 ? std::string_view::npos : text.rfind('\n', offset - 1);
    return before == std::string_view::npos ? 0 : before + 1;
}

std::string_view around(std::string_view text, std::size_t offset)
{
    const std::size_t start = startOf(text, offset);
    std::size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end;
    if (end > start && text[end - 1] == '\r') {
        --end;
    }
    return text.substr(start, end - start);
}

std::string oneLine(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        shown += (c >= 0 && c < ' ' && c != '\t') || c == '\x7f' ? '?' : c;
    }
    return shown;
}

}  // namespace TextLine
