#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class CAsmOptions;

// Runs the source through GCC's cc1 in preprocess-only mode into "a.ppf" in
// the current directory, and reads that file back. Runs in one directory
// take turns: each holds an exclusive lock on the directory from before cc1
// starts until it has read "a.ppf", which is always absent or a regular file.
class CAsmPreprocessor {
public:
    // The file the preprocessor writes, in the current directory.
    static constexpr const char* kOutputFile = "a.ppf";

    explicit CAsmPreprocessor(const CAsmOptions& options);

    // Makes way for a new "a.ppf", runs cc1 and waits for it, and reads its
    // text; false, with the reason printed, when any of that fails.
    bool run(std::string& text, std::ostream& out, std::ostream& err);

    // Where cc1 is run from: beside the first program argument, else beside
    // the running executable, else the bare name "cc1" (found through PATH).
    std::string locatePreprocessor() const;
    // The same for a program started as `programPath`.
    static std::string locate(const std::string& programPath);
    // The arguments that name the source language and its predefined macros,
    // for every run of cc1 on a source.
    static std::vector<std::string> languageArguments();
    // The preprocessor's argument vector, its path first.
    std::vector<std::string> buildArguments(const std::string& preprocessor) const;

    // What "a.ppf" is when it is no place for the preprocessed text ("a
    // directory", "a link to a FIFO", ...); empty when it is absent, a
    // regular file or a link to one.
    static std::string describeIrregular();

private:
    // Runs cc1 to its end; false, with the reason printed, when it could not
    // start or did not succeed.
    bool runToEnd(std::ostream& err) const;
    // Reads "a.ppf" once cc1 has ended.
    bool readOutput(std::string& text, std::ostream& out, std::ostream& err) const;

    const CAsmOptions* m_options;
};
