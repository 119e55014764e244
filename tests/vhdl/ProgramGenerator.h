#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "vhdl/AssembledImage.h"

namespace vhdltest {

// A generated source with the words every section must hold, computed from
// the instruction encodings directly (not by the assembler).
struct GeneratedProgram {
    std::string name;
    std::string source;
    std::vector<AssembledImage::Section> sections;
};

// Builds pseudo-random but reproducible programs: every instruction form,
// labels before and after their uses, jumps by label, label +/- constant,
// constant expressions and macros, mixed letter case, comments, several
// statements per line; data sections of decimal, hexadecimal, negative and
// oversized values and of label references.
class ProgramGenerator {
public:
    explicit ProgramGenerator(std::uint32_t seed) : m_random(seed) {}

    // Adds a code section of `words` instruction words.
    ProgramGenerator& code(int words);
    // Adds a data section of `words` data words.
    ProgramGenerator& data(int words);

    GeneratedProgram build(const std::string& name);

private:
    struct Label {
        std::string name;
        int section = 0;
        int index = 0;  // word index in its section
    };
    struct Planned {
        int kind = 0;
        int words = 0;
        std::vector<std::string> labelAt;  // label name per word index, or empty
    };
    struct Statement {
        std::string text;
        std::vector<std::uint32_t> words;
    };

    std::uint32_t pick(std::uint32_t count) { return m_random() % count; }
    bool chance(std::uint32_t oneIn) { return pick(oneIn) == 0; }

    void planLabels();
    std::string renderCode(const Planned& section, std::vector<std::uint32_t>& words);
    std::string renderData(const Planned& section, std::vector<std::uint32_t>& words);
    Statement instruction();
    Statement jump(const std::string& mnemonic, std::uint32_t opcode);
    // A reference to one of the first `candidates` labels, possibly plus a
    // constant (or minus one when `mayGoBack`), and the word address it
    // stands for.
    Statement labelReference(std::size_t candidates, bool mayGoBack);
    std::string registerName(std::uint32_t number);
    std::string spell(const std::string& mnemonic);
    std::string comment();
    Statement dataWord();

    std::mt19937 m_random;
    std::vector<Planned> m_sections;
    std::vector<Label> m_labels;
    std::size_t m_labelsBelow128 = 0;
};

}  // namespace vhdltest
