#pragma once

#include <string>
#include <vector>

#include "asm/CPreprocessedFile.h"
#include "asm/CProgramModule.h"

class CFileBuffer;

// Runs the input file through GCC's cc1 in preprocess-only mode into "a.ppf"
// in the current directory, and reads that file back.
class CAsmPreprocessor : public CProgramModule {
public:
    // The file the preprocessor writes, in the current directory.
    static constexpr const char* kOutputFile = CPreprocessedFile::kName;

    // Makes way for a new "a.ppf", runs the preprocessor in a process group
    // of its own and waits for it; stops the program with status 1 when any
    // of that fails, saying why on standard error.
    void run() override;

    // Loads the preprocessed text whole once the preprocessor has ended and
    // leaves "a.ppf" as a lone run leaves it; false, with the message
    // printed, when there is none or it cannot be read.
    bool loadOutput(CFileBuffer& into);

    // Where cc1 is run from: beside the first program argument, else beside
    // the running executable, else the bare name "cc1" (found through PATH).
    std::string locatePreprocessor() const;
    // The preprocessor's argument vector, its path first.
    std::vector<std::string> buildArguments(const std::string& preprocessor) const;

    std::string m_inputName;

private:
    // Runs the preprocessor to its end; false, with the reason printed, when
    // it could not start or did not succeed.
    bool runToEnd() const;

    CPreprocessedFile m_output;
};
