#pragma once

#include <memory>
#include <string>
#include <vector>

#include "asm/CRozeDov.h"
#include "support/TestSupport.h"

namespace testsupport {

// A driver that assembles preprocessed text held in memory, without cc1 and
// without writing files: what the program does after preprocessing.
struct InProcessAssembly {
    RunResult result;
    std::unique_ptr<CRozeDov> driver;
    std::vector<std::string> storage;
    std::vector<char*> argv;

    // Lays out `preprocessed` as if it came from "prog.s"; with `listing`
    // also builds the listing text.
    InProcessAssembly(const std::string& preprocessed, std::vector<std::string> options = {});

    // The code (".txt") text, data (".dat") text and listing text built.
    std::string codeText() const;
    std::string dataText() const;
    std::string listingText() const;
};

}  // namespace testsupport
