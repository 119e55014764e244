#include "vhdl/GhdlSimulator.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace vhdltest {

namespace {

bool isExecutable(const std::string& path)
{
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> findOnPath(std::string_view name)
{
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view directory = rest.substr(0, colon);
        const std::string candidate = std::string(directory) + "/" + std::string(name);
        if (!directory.empty() && isExecutable(candidate)) {
            return candidate;
        }
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> GhdlSimulator::locate()
{
#ifdef ROZEDOV_GHDL
    if (isExecutable(ROZEDOV_GHDL)) {
        return std::string(ROZEDOV_GHDL);
    }
#endif
    return findOnPath("ghdl");
}

testsupport::RunResult GhdlSimulator::simulate(const std::vector<std::string>& files,
                                               const std::string& topUnit) const
{
    std::vector<std::string> command = {m_program, "-c", "--std=08"};
    command.insert(command.end(), files.begin(), files.end());
    command.insert(command.end(), {"-r", topUnit});
    return testsupport::runProcess(command);
}

}  // namespace vhdltest
