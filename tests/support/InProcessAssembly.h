#pragma once

#include <string>
#include <vector>

#include "core/CAssemblyResult.h"
#include "core/CSourcePos.h"
#include "support/TestSupport.h"

namespace testsupport {

// Preprocessed text held in memory, assembled as the program assembles it
// after preprocessing, as if it came from "prog.s": what the assembler
// returns, and what the program would print of it.
struct InProcessAssembly {
    CAssemblyResult assembly;
    // Standard output and error as the program prints the result; status 1
    // when a check stopped the run.
    RunResult result;

    // `options` are command-line options ("-l", "-debug-dump", "-w",
    // "--format=..."); `originals` the user's files by name.
    explicit InProcessAssembly(const std::string& preprocessed, const std::vector<std::string>& options = {},
                               const CSourceTexts& originals = {});

    // The ".txt", ".dat" and listing texts built.
    const std::string& codeText() const { return assembly.texts.code; }
    const std::string& dataText() const { return assembly.texts.data; }
    const std::string& listingText() const { return assembly.texts.listing; }
};

// What the program prints of a result, on standard output and error.
RunResult printed(const CAssemblyResult& result);

}  // namespace testsupport
