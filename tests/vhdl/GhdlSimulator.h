#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace vhdltest {

// Runs VHDL test benches with the GHDL simulator.
class GhdlSimulator {
public:
    // How to get the simulator where it is missing.
    static constexpr const char* kInstallHint = "ghdl not found; install it with: apt-get install ghdl";

    // The ghdl program found when the build was configured, else the first
    // one on PATH; nullopt when there is none.
    static std::optional<std::string> locate();

    explicit GhdlSimulator(std::string program) : m_program(std::move(program)) {}

    // Analyses `files` in order, elaborates `topUnit` and runs it, in one
    // ghdl call in the current directory.
    testsupport::RunResult simulate(const std::vector<std::string>& files,
                                    const std::string& topUnit) const;

private:
    std::string m_program;
};

}  // namespace vhdltest
