#include "lsp/CLspText.h"

#include "util/NumberFormat.h"

namespace {
bool isContinuationByte(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// UTF-16 units of the character that starts with `lead`: two for one
// beyond the basic plane (a four-byte sequence), else one.
std::size_t unitsOf(unsigned char lead)
{
    return lead >= 0xF0 ? 2 : 1;
}

// Bytes a path keeps as they are in an address.
bool isUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

constexpr std::string_view kFileScheme = "file://";
}  // namespace

CLspText::CLspText(std::string_view text) : m_text(text)
{
    m_starts.push_back(0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            m_starts.push_back(i + 1);
        }
    }
}

std::string_view CLspText::line(std::size_t line) const
{
    if (line >= m_starts.size()) {
        return {};
    }
    const std::size_t start = m_starts[line];
    std::size_t end = line + 1 < m_starts.size() ? m_starts[line + 1] - 1 : m_text.size();
    if (end > start && m_text[end - 1] == '\r') {
        --end;
    }
    return m_text.substr(start, end - start);
}

std::size_t CLspText::utf16Column(std::string_view lineText, std::size_t byte)
{
    std::size_t column = 0;
    for (std::size_t i = 0; i < byte && i < lineText.size(); ++i) {
        const auto c = static_cast<unsigned char>(lineText[i]);
        if (!isContinuationByte(c)) {
            column += unitsOf(c);
        }
    }
    return column + (byte > lineText.size() ? byte - lineText.size() : 0);
}

std::size_t CLspText::byteColumn(std::string_view lineText, std::size_t column)
{
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < lineText.size() && units < column) {
        units += unitsOf(static_cast<unsigned char>(lineText[i]));
        ++i;
        while (i < lineText.size() && isContinuationByte(static_cast<unsigned char>(lineText[i]))) {
            ++i;
        }
    }
    return i;
}

std::size_t CLspText::offsetOf(std::size_t line, std::size_t column) const
{
    if (line >= m_starts.size()) {
        return m_text.size();
    }
    return m_starts[line] + byteColumn(this->line(line), column);
}

std::string CLspUri::toPath(std::string_view uri)
{
    if (uri.substr(0, kFileScheme.size()) != kFileScheme) {
        return {};
    }
    uri.remove_prefix(kFileScheme.size());
    // "file://host/path": only the local host is ours.
    if (!uri.empty() && uri.front() != '/') {
        const std::size_t slash = uri.find('/');
        if (uri.substr(0, slash) != "localhost") {
            return {};
        }
        uri.remove_prefix(slash == std::string_view::npos ? uri.size() : slash);
    }
    std::string path;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        const int high = i + 2 < uri.size() ? NumberFormat::HexDigitValue(uri[i + 1]) : -1;
        const int low = i + 2 < uri.size() ? NumberFormat::HexDigitValue(uri[i + 2]) : -1;
        if (uri[i] == '%' && high >= 0 && low >= 0) {
            path += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path;
}

std::string CLspUri::fromPath(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri(kFileScheme);
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte)) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri;
}
