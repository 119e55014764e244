#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/TestSupport.h"

class CSection;

namespace vhdltest {

// One assembly run in-process: the texts it wrote and, read from the section
// table before the driver is destroyed, every code and data section's words
// with the fixups applied -- what the simulated outputs must reproduce.
class AssembledImage {
public:
    struct Section {
        int kind = 0;                       // 2 code, 3 data, 4 read-only data
        std::vector<std::uint32_t> words;   // 15-bit code words or 16-bit data words
    };

    // Assembles `sourcePath` in the current directory with the output name
    // "image" (plus `options`).
    static AssembledImage assemble(const std::string& sourcePath,
                                   const std::vector<std::string>& options = {});

    // Of `sections`, those whose words go to the ROM text (kinds 2 and 4), or
    // to the data text (kind 3), in their order.
    static std::vector<Section> romSections(const std::vector<Section>& sections);
    static std::vector<Section> dataSections(const std::vector<Section>& sections);

    // A section's bytes with its fixups applied, as the emitters must see them.
    static std::vector<std::uint8_t> patchedCode(const CSection& section);
    // Two host bytes per word: 8 + 7 bits for code, 8 + 8 for data.
    static std::vector<std::uint32_t> toWords(const std::vector<std::uint8_t>& bytes, int kind);

    testsupport::RunResult run;
    std::vector<Section> sections;
    std::string romText;
    std::string dataText;
};

}  // namespace vhdltest
