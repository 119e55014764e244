#include "util/CToolMessage.h"

#include <iostream>
#include <string>

namespace {
constexpr std::string_view kProgramName = "rozedov";

void print(std::string_view severity, std::string_view text)
{
    std::cout.flush();
    std::string line;
    line.append(kProgramName).append(": ").append(severity).append(": ");
    // Names from the command line may hold any byte; the message stays one line.
    for (char c : text) {
        line += c >= 0 && c < ' ' && c != '\t' ? '?' : c;
    }
    line += '\n';
    std::cerr << line << std::flush;
}
}  // namespace

void CToolMessage::error(std::string_view text)
{
    print("error", text);
}

void CToolMessage::warning(std::string_view text)
{
    print("warning", text);
}
