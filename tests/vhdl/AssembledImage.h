#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace vhdltest {

// One assembly of a source: what the program printed and the texts it wrote,
// and every code and data section's words with the fixups applied, as the
// assembler returns them for the same preprocessed text -- what the written
// outputs must reproduce.
class AssembledImage {
public:
    struct Section {
        int kind = 0;                       // 2 code, 3 data, 4 read-only data
        std::vector<std::uint32_t> words;   // 15-bit code words or 16-bit data words
    };

    // Runs the program on `sourcePath` in the current directory with the
    // output name "image" (plus `options`), then preprocesses the source as
    // the program does and assembles it in-process for the words.
    static AssembledImage assemble(const std::string& sourcePath,
                                   const std::vector<std::string>& options = {});

    // Of `sections`, those whose words go to the ROM text (kinds 2 and 4), or
    // to the data text (kind 3), in their order.
    static std::vector<Section> romSections(const std::vector<Section>& sections);
    static std::vector<Section> dataSections(const std::vector<Section>& sections);

    testsupport::RunResult run;
    std::vector<Section> sections;
    std::string romText;
    std::string dataText;
};

}  // namespace vhdltest
