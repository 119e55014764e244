#include "vhdl/ProgramGenerator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/CSection.h"

namespace vhdltest {

namespace {

// Where an instruction's register operands go, in source order.
enum class Shape { Two, Three, Jump, Load, Store };

struct Instruction {
    const char* mnemonic;
    std::uint32_t opcode;  // bits 14..9
    Shape shape;
};

constexpr Instruction kInstructions[] = {
    {"mov", 0, Shape::Two},     {"add", 1, Shape::Three},   {"sub", 2, Shape::Three},
    {"and", 3, Shape::Three},   {"or", 4, Shape::Three},    {"not", 5, Shape::Two},
    {"inc", 6, Shape::Two},     {"dec", 7, Shape::Two},     {"shl", 8, Shape::Two},
    {"shr", 9, Shape::Two},     {"ashl", 10, Shape::Two},   {"ashr", 11, Shape::Two},
    {"jmp", 16, Shape::Jump},   {"jmpz", 17, Shape::Jump},  {"jmps", 18, Shape::Jump},
    {"jmpc", 19, Shape::Jump},  {"jmpnz", 21, Shape::Jump}, {"jmpns", 22, Shape::Jump},
    {"jmpnc", 23, Shape::Jump}, {"ld", 32, Shape::Load},    {"st", 48, Shape::Store},
};

// Bit position of each register field, in operand order.
std::vector<int> registerShifts(Shape shape)
{
    switch (shape) {
    case Shape::Two: return {6, 3};
    case Shape::Three: return {6, 3, 0};
    case Shape::Load: return {6, 0};
    case Shape::Store: return {3, 0};
    case Shape::Jump: break;
    }
    return {};
}

struct Constant {
    const char* text;
    std::int64_t value;
};

// Constant expressions and what they evaluate to (fields keep the low bits
// of the value truncated toward zero).
constexpr Constant kConstants[] = {
    {"5", 5},           {"0x1F", 31},       {"(1 + 2) * 3", 9}, {"1 << 3 | 1", 9},
    {"100 % 7", 2},     {"~0", -1},         {"7 / 2", 3},       {"-5", -5},
    {"600", 600},       {"0x1ff", 511},     {"017", 17},        {"--4", 4},
    {"6 & 3", 2},       {"64 >> 2", 16},    {"TARGET", 37},     {"TARGET + 1", 38},
    {"4294967296", 2147483647},
};

constexpr const char* kPrologue =
    "// generated test program\n"
    "#define TARGET 37\n"
    "#define PAIR mov r1, r2 __NEW_LINE__ mov r3, r4\n";

constexpr std::uint32_t kPairWords[] = {0b000000001010000, 0b000000011100000};

constexpr std::uint32_t kCodeMask = 0x7FFF;
constexpr std::uint32_t kFieldMask = 0x1FF;
constexpr std::uint32_t kDataMask = 0xFFFF;

}  // namespace

ProgramGenerator& ProgramGenerator::code(int words)
{
    m_sections.push_back({CSection::Code, words, {}});
    return *this;
}

ProgramGenerator& ProgramGenerator::data(int words)
{
    m_sections.push_back({CSection::Data, words, {}});
    return *this;
}

GeneratedProgram ProgramGenerator::build(const std::string& name)
{
    planLabels();
    GeneratedProgram program{name, kPrologue, {}};
    for (const Planned& section : m_sections) {
        AssembledImage::Section expected{section.kind, {}};
        const bool isCode = section.kind == CSection::Code;
        program.source += isCode ? ".text\n" : ".data\n";
        program.source += isCode ? renderCode(section, expected.words) : renderData(section, expected.words);
        program.sections.push_back(std::move(expected));
    }
    return program;
}

void ProgramGenerator::planLabels()
{
    for (std::size_t s = 0; s < m_sections.size(); ++s) {
        Planned& section = m_sections[s];
        section.labelAt.assign(static_cast<std::size_t>(section.words), "");
        for (int i = 0; i < section.words; ++i) {
            if (i == 0 || chance(6)) {
                const std::string name = "L" + std::to_string(s) + "_" + std::to_string(i);
                section.labelAt[static_cast<std::size_t>(i)] = name;
                m_labels.push_back({name, static_cast<int>(s), i});
            }
        }
    }
    // Labels at index 120 or more go last, so the first m_labelsBelow128
    // labels are those whose references stay below word address 128.
    std::stable_partition(m_labels.begin(), m_labels.end(), [](const Label& l) { return l.index < 120; });
    m_labelsBelow128 = static_cast<std::size_t>(
        std::count_if(m_labels.begin(), m_labels.end(), [](const Label& l) { return l.index < 120; }));
}

std::string ProgramGenerator::renderCode(const Planned& section, std::vector<std::uint32_t>& words)
{
    std::string text;
    for (int i = 0; i < section.words;) {
        const std::string& label = section.labelAt[static_cast<std::size_t>(i)];
        if (!label.empty()) {
            text += label + (chance(2) ? ":\n" : ": ");
        }
        const bool pairFits = i + 1 < section.words && section.labelAt[static_cast<std::size_t>(i) + 1].empty();
        if (pairFits && chance(20)) {
            text += "PAIR\n";
            words.insert(words.end(), std::begin(kPairWords), std::end(kPairWords));
            i += 2;
            continue;
        }
        const Statement statement = instruction();
        text += statement.text;
        words.insert(words.end(), statement.words.begin(), statement.words.end());
        ++i;
        const bool lastOnLine = i == section.words || !section.labelAt[static_cast<std::size_t>(i)].empty() || !chance(8);
        text += lastOnLine ? comment() + "\n" : " __NEW_LINE__ ";
    }
    return text;
}

std::string ProgramGenerator::renderData(const Planned& section, std::vector<std::uint32_t>& words)
{
    std::string text;
    bool lineStart = true;
    for (int i = 0; i < section.words; ++i) {
        const std::string& label = section.labelAt[static_cast<std::size_t>(i)];
        if (!label.empty() && !lineStart) {
            text += "\n";
            lineStart = true;
        }
        const Statement word = dataWord();
        if (!lineStart) {
            const bool plainNumber = std::isdigit(static_cast<unsigned char>(word.text[0])) != 0;
            text += plainNumber && chance(3) ? " " : ", ";
        }
        text += label.empty() ? "" : label + ": ";
        text += word.text;
        words.push_back(word.words.front());
        lineStart = chance(6);
        if (lineStart) {
            text += chance(3) ? ",\n" : comment() + "\n";
        }
    }
    return lineStart ? text : text + "\n";
}

ProgramGenerator::Statement ProgramGenerator::instruction()
{
    const Instruction& chosen = kInstructions[pick(std::size(kInstructions))];
    if (chosen.shape == Shape::Jump) {
        return jump(chosen.mnemonic, chosen.opcode);
    }
    std::string text = spell(chosen.mnemonic) + " ";
    std::uint32_t word = chosen.opcode << 9;
    const std::vector<int> shifts = registerShifts(chosen.shape);
    for (std::size_t k = 0; k < shifts.size(); ++k) {
        const std::uint32_t number = pick(8);
        text += (k == 0 ? "" : ", ") + registerName(number);
        word |= number << shifts[k];
    }
    return {text, {word}};
}

ProgramGenerator::Statement ProgramGenerator::jump(const std::string& mnemonic, std::uint32_t opcode)
{
    std::string operand;
    std::uint32_t target = 0;
    if (chance(3)) {
        const Constant& constant = kConstants[pick(std::size(kConstants))];
        operand = constant.text;
        target = static_cast<std::uint32_t>(constant.value);
    } else {
        const Statement reference = labelReference(m_labels.size(), true);
        operand = reference.text;
        target = reference.words.front();
    }
    return {spell(mnemonic) + " " + operand, {((opcode << 9) | (target & kFieldMask)) & kCodeMask}};
}

ProgramGenerator::Statement ProgramGenerator::labelReference(std::size_t candidates, bool mayGoBack)
{
    // A label's value is the byte offset 2 * index in its own section; a
    // reference holds the word address (value + addend) / 2.
    const Label& label = m_labels[pick(static_cast<std::uint32_t>(candidates))];
    const std::uint32_t offset = 2U * static_cast<std::uint32_t>(label.index);
    const std::uint32_t addend = pick(4) == 0 ? pick(7) : 0;
    const bool subtract = mayGoBack && addend != 0 && addend <= offset && chance(2);
    const std::string text = label.name + (addend == 0 ? "" : (subtract ? " - " : " + ") + std::to_string(addend));
    return {text, {(subtract ? offset - addend : offset + addend) >> 1}};
}

std::string ProgramGenerator::registerName(std::uint32_t number)
{
    return (chance(2) ? "r" : "R") + std::to_string(number);
}

std::string ProgramGenerator::spell(const std::string& mnemonic)
{
    std::string text = mnemonic;
    switch (pick(4)) {
    case 0:
        for (char& c : text) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        break;
    case 1: text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))); break;
    default: break;
    }
    return text;
}

std::string ProgramGenerator::comment()
{
    switch (pick(6)) {
    case 0: return "  ; note";
    case 1: return "  // note";
    default: return "";
    }
}

ProgramGenerator::Statement ProgramGenerator::dataWord()
{
    char hex[16];
    switch (pick(7)) {
    case 0: {
        const Constant& constant = kConstants[pick(std::size(kConstants))];
        return {constant.text, {static_cast<std::uint32_t>(constant.value) & kDataMask}};
    }
    case 1: {
        const std::uint32_t value = pick(0x10000);
        std::snprintf(hex, sizeof hex, "0x%x", value);
        return {hex, {value}};
    }
    case 2: {
        const std::uint32_t value = 1 + pick(40000);
        return {"-" + std::to_string(value), {(0U - value) & kDataMask}};
    }
    case 3: {
        const std::uint32_t value = 65536 + pick(1000000);
        return {std::to_string(value), {value & kDataMask}};
    }
    case 4:
        // Only labels whose word address stays below 128, and no negative
        // addend: a data reference is patched like a jump field, so only
        // the word's low bits receive the address.
        if (m_labelsBelow128 > 0) {
            return labelReference(m_labelsBelow128, false);
        }
        [[fallthrough]];
    default: {
        const std::uint32_t value = pick(0x10000);
        return {std::to_string(value), {value}};
    }
    }
}

}  // namespace vhdltest
