#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/CAssemblyResult.h"
#include "core/CSourcePos.h"

class CAsmOptions;

// The command-line driver: everything around the assembly itself. It reads
// the options, runs the preprocessor, hands the text and the user's files to
// the assembler, prints what it found in the order and forms the program has
// always used, writes the output files and gives the exit status.
class CRozeDov {
public:
    CRozeDov(std::ostream& out, std::ostream& err);

    // The program: its arguments (the program path first) in, its status out.
    // Running out of memory or an internal error ends it in order too.
    static int main(int argc, char** argv);

    // One run on the arguments; the exit status.
    int run(const std::vector<std::string>& arguments);

private:
    // Refuses a source that is the preprocessor's file, and outputs that are
    // the source; false when it did.
    bool refuseOverlaps(const CAsmOptions& options) const;
    // The make rule file is written by the preprocessor itself: it is
    // checked before that runs.
    bool checkDepFile(const CAsmOptions& options) const;
    // The user's files the preprocessed text names, as written on disk.
    static CSourceTexts readSources(const std::string& preprocessed, const std::string& input);
    // Says how many warnings were not shown; false when they are fatal.
    bool finishWarnings(const CAsmOptions& options, const CAssemblyResult& result) const;
    // Writes the whole output set, or none of it; the exit status.
    int writeOutputs(const CAsmOptions& options, const CAssemblyResult& result) const;
    // Message 1316 for the file, and why on standard error.
    void reportUnwritten(const std::string& path, const std::string& reason) const;

    std::ostream* m_out;
    std::ostream* m_err;
};
