#include "lsp/CLspTransport.h"

#include <charconv>
#include <istream>
#include <string_view>

namespace {
constexpr std::string_view kLengthField = "content-length:";
// Larger bodies are refused rather than allocated.
constexpr std::size_t kLargestBody = 256u << 20;

bool startsWithoutCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

// The length a "Content-Length:" line gives; false when it gives none.
bool parseLength(std::string_view line, std::size_t& length)
{
    line.remove_prefix(kLengthField.size());
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), length);
    return error == std::errc() && end == line.data() + line.size();
}
}  // namespace

// message = (header-line CRLF)* CRLF body
CLspTransport::Read CLspTransport::readMessage(std::istream& in, std::string& body, std::string& problem)
{
    std::string line;
    bool haveLength = false;
    bool sawHeader = false;
    std::size_t length = 0;
    problem.clear();
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            if (!sawHeader) {
                continue;  // blank lines between messages
            }
            break;
        }
        sawHeader = true;
        if (startsWithoutCase(line, kLengthField)) {
            haveLength = parseLength(line, length);
            if (!haveLength) {
                problem = "bad Content-Length header: " + line;
            }
        }
    }
    if (!sawHeader) {
        return Read::End;
    }
    if (!haveLength) {
        if (problem.empty()) {
            problem = "message without a Content-Length header";
        }
        return in ? Read::Malformed : Read::End;
    }
    if (length > kLargestBody) {
        in.ignore(static_cast<std::streamsize>(length));
        problem = "message of " + std::to_string(length) + " bytes is too large";
        return in ? Read::Malformed : Read::End;
    }
    body.resize(length);
    in.read(body.data(), static_cast<std::streamsize>(length));
    if (static_cast<std::size_t>(in.gcount()) != length) {
        return Read::End;
    }
    return Read::Message;
}

std::string CLspTransport::frame(const std::string& body)
{
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
