#include "util/CToolMessage.h"

#include <iostream>
#include <system_error>

namespace {
constexpr std::string_view kProgramName = "rozedov";

void print(std::string_view severity, std::string_view text)
{
    std::cout.flush();
    std::cerr << CToolMessage::line(severity, text) << std::flush;
}
}  // namespace

std::string CToolMessage::systemError(int error)
{
    return std::generic_category().message(error);
}

std::string CToolMessage::oneLine(std::string_view text)
{
    // Names and source text may hold any byte.
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        shown += c >= 0 && c < ' ' && c != '\t' ? '?' : c;
    }
    return shown;
}

std::string CToolMessage::line(std::string_view severity, std::string_view text)
{
    std::string line(kProgramName);
    line.append(": ").append(severity).append(": ").append(oneLine(text)).append("\n");
    return line;
}

void CToolMessage::error(std::string_view text)
{
    print("error", text);
}

void CToolMessage::note(std::string_view text)
{
    print("note", text);
}
