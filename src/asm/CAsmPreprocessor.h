#pragma once

#include <string>
#include <vector>

#include "asm/CProgramModule.h"

class CFileBuffer;

// Runs the input file through GCC's cc1 in preprocess-only mode into "a.ppf"
// in the current directory, and reads that file back.
class CAsmPreprocessor : public CProgramModule {
public:
    // The file the preprocessor writes, in the current directory.
    static constexpr const char* kOutputFile = "a.ppf";

    // Removes an earlier "a.ppf", runs the preprocessor in a process group
    // of its own and waits for it; stops the program with status 1 when any
    // of that fails, saying why on standard error.
    void run() override;

    // Loads "a.ppf" whole once the preprocessor has ended; false, with the
    // message printed, when it is missing, no regular file or unreadable.
    bool loadOutput(CFileBuffer& into) const;

    // Where cc1 is run from: beside the first program argument, else beside
    // the running executable, else the bare name "cc1" (found through PATH).
    std::string locatePreprocessor() const;
    // The preprocessor's argument vector, its path first.
    std::vector<std::string> buildArguments(const std::string& preprocessor) const;

    std::string m_inputName;

private:
    // What "a.ppf" is when it is neither absent nor a regular file ("a
    // directory", "a link to a FIFO", ...); empty otherwise.
    static std::string describeIrregularOutput();
    // True when "a.ppf" is absent or a regular file; otherwise prints why
    // it cannot be read and returns false.
    static bool checkOutputKind();
    // Makes way for a new "a.ppf"; false, with the reason printed, when an
    // existing one is no regular file or cannot be removed.
    static bool clearOutputFile();
    // Runs the preprocessor to its end; false, with the reason printed, when
    // it could not start or did not succeed.
    bool runToEnd() const;
};
