#pragma once

#include <string>
#include <vector>

#include "asm/CProgramModule.h"

// Runs the input file through GCC's cc1 in preprocess-only mode into "a.ppf"
// in the current directory.
class CAsmPreprocessor : public CProgramModule {
public:
    // Runs the preprocessor; stops the program with status 1 when it fails.
    void run() override;

    // Where cc1 is run from: beside the first program argument, else beside
    // the running executable, else the bare name "cc1" (found through PATH).
    std::string locatePreprocessor() const;
    // The preprocessor's argument vector, its path first.
    std::vector<std::string> buildArguments(const std::string& preprocessor) const;
    // The arguments joined into one POSIX shell command, each quoted.
    static std::string buildCommand(const std::vector<std::string>& arguments);
    // One argument quoted for the POSIX shell, so it arrives verbatim.
    static std::string shellQuote(const std::string& argument);

    std::string m_inputName;
};
