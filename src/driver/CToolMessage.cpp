#include "driver/CToolMessage.h"

#include <system_error>

#include "util/TextLine.h"

namespace {
constexpr std::string_view kProgramName = "rozedov";
}  // namespace

std::string CToolMessage::systemError(int error)
{
    return std::generic_category().message(error);
}

std::string CToolMessage::line(std::string_view severity, std::string_view text)
{
    std::string line(kProgramName);
    line.append(": ").append(severity).append(": ").append(TextLine::oneLine(text)).append("\n");
    return line;
}
