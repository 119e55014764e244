#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "asm/CProgramModule.h"

// Runs the input file through GCC's cc1 in preprocess-only mode into "a.ppf"
// in the current directory.
class CAsmPreprocessor : public CProgramModule {
public:
    // The file the preprocessor writes, in the current directory.
    static constexpr const char* kOutputFile = "a.ppf";

    // Waits for a preprocessor still running, so none outlives the program.
    ~CAsmPreprocessor() override;

    // Runs the preprocessor; stops the program with status 1 when it fails.
    void run() override;

    // Empties the output file, so nothing of an earlier run can pass for
    // this one's, then starts the preprocessor and returns while it runs.
    // False when either failed (a file that cannot be emptied could not be
    // written either).
    bool start();
    // Whether the preprocessor started last has ended (or none runs).
    bool hasEnded();
    // Waits for the preprocessor to end; true when it reported success.
    bool waitForEnd();

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

private:
    bool emptyOutputFile() const;
    // Collects the child's status; `options` as for waitpid.
    bool reap(int options);

    pid_t m_child = -1;   // the running command processor, or -1
    int m_status = -1;    // its wait status once ended; -1 when it failed to start
};
