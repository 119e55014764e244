#include "lsp/CLspHints.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/CVornOpcodeInfo.h"
#include "lexer/CVornLexer.h"
#include "lsp/CLspPositions.h"
#include "lsp/CLspWords.h"
#include "parser/CVornParser.h"
#include "util/NumberFormat.h"

namespace {
using json = nlohmann::json;
using Placed = CLspWords::Placed;

constexpr int kDataBits = 16;
constexpr std::size_t kOpcodeBits = 6;
constexpr std::size_t kRegisterBits = 3;
// Between the words of one line in a hint.
constexpr const char* kWordSeparator = "  ";

// The names of the source register fields ("Sss"), in order.
constexpr const char* kSourceNames[] = {"Ra", "Rb"};

const CVornOpcodeInfo& opcodes()
{
    static const CVornOpcodeInfo table;
    return table;
}

// A data word's 16 bits in groups of four: "0000 0000 0000 1010".
std::string nibblesOf(std::uint32_t word)
{
    const std::string bits = NumberFormat::ToBin(word, kDataBits);
    std::string grouped;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        grouped += i > 0 && i % 4 == 0 ? " " : "";
        grouped += bits[i];
    }
    return grouped;
}

// An instruction word's bits by field, as the instruction table splits
// them, the fields apart with " | ".
std::string instructionFieldsOf(std::uint32_t word)
{
    std::string fields;
    for (const char bit : CVornOpcodeInfo::fieldBits(word, false)) {
        fields += bit == ' ' ? std::string_view(" | ") : std::string_view(&bit, 1);
    }
    return fields;
}

// The field names of a register, load or store pattern: "opcode | Rd | Ra | Rb".
std::string registerFieldNames(std::string_view pattern)
{
    std::string names = "opcode";
    std::size_t sources = 0;
    for (std::size_t at = kOpcodeBits; at + kRegisterBits <= pattern.size(); at += kRegisterBits) {
        names += " | ";
        if (pattern[at] == 'D') {
            names += "Rd";
        } else if (pattern[at] == 'S') {
            names += kSourceNames[std::min(sources++, std::size(kSourceNames) - 1)];
        } else {
            names += "unused";
        }
    }
    return names;
}

// "`000011 | 001 | 001 | 000` (opcode | Rd | Ra | Rb)": the word's bits by field.
std::string fieldsOf(const CWord& word, const CSectionWords& section)
{
    if (CLspWords::isData(section.kind)) {
        return "`" + nibblesOf(word.value) + "`";
    }
    const std::int32_t form = CVornOpcodeInfo::formOfWord(word.value);
    const std::string names = form < 0                        ? "opcode | operands"
                              : form == CVornOpcodeInfo::Jump ? "opcode | target"
                                                              : registerFieldNames(CVornOpcodeInfo::patternOfWord(word.value));
    return "`" + instructionFieldsOf(word.value) + "` (" + names + ")";
}

// The label whose use lies on the word's line, within its statement where one does.
const CSymbolInfo* targetOf(const CAssemblyResult& result, const CWord& word)
{
    const CSymbolInfo* onLine = nullptr;
    for (const CSymbolInfo& symbol : result.symbols) {
        for (const CSourcePos& use : symbol.uses) {
            if (use.fileIndex != word.pos.fileIndex || use.line != word.pos.line) {
                continue;
            }
            if (use.column >= word.pos.column && use.column < word.pos.column + std::max(word.pos.length, 1)) {
                return &symbol;
            }
            onLine = onLine != nullptr ? onLine : &symbol;
        }
    }
    return onLine;
}

// The word at `address` of the section (its own ROM block); null past its end.
const CWord* wordAtAddress(const CSectionWords& section, std::uint32_t address)
{
    for (const CWord& word : section.words) {
        if (word.address >= 0 && static_cast<std::uint32_t>(word.address) == address) {
            return &word;
        }
    }
    return nullptr;
}

// "jumps to word 6 (label `loop`, word 6), which holds `0c48`".
std::string jumpOf(const CAssemblyResult& result, const CWord& word, const CSectionWords& section)
{
    const std::uint32_t target = CVornOpcodeInfo::jumpTargetOf(word.value);
    std::string text = "jumps to word " + std::to_string(target);
    if (const CSymbolInfo* label = targetOf(result, word)) {
        text += " (label `" + label->name + "`, word " + std::to_string(CLspWords::wordAddress(*label)) + ")";
    }
    if (const CWord* landing = wordAtAddress(section, target)) {
        text += ", which holds `" + CLspWords::hex(landing->value) + "`";
    }
    return text;
}

// One word's paragraph: address, bits by field, hex, and a jump's target.
std::string describeWord(const CAssemblyResult& result, const Placed& placed)
{
    const CWord& word = *placed.word;
    const bool data = CLspWords::isData(placed.section->kind);
    std::string text = std::string(data ? "data word @" : "word @") + std::to_string(word.address) + ": " +
                       fieldsOf(word, *placed.section) + ", hex `" + CLspWords::hex(word.value) + "`";
    if (!data && CVornOpcodeInfo::formOfWord(word.value) == CVornOpcodeInfo::Jump) {
        text += "\n\n" + jumpOf(result, word, *placed.section);
    }
    return text;
}

// The words of the line whose statement holds the column (a macro's use
// holds all it made); all the line's words where none does.
std::vector<Placed> wordsAt(const CAssemblyResult& result, std::size_t line, std::size_t column)
{
    const std::vector<Placed> words = CLspWords::onLine(result, line);
    std::vector<Placed> under;
    for (const Placed& placed : words) {
        const CSourcePos& pos = placed.word->pos;
        const auto start = static_cast<std::size_t>(std::max(pos.column - 1, 0));
        if (pos.column > 0 && start <= column && column < start + static_cast<std::size_t>(std::max(pos.length, 0))) {
            under.push_back(placed);
        }
    }
    return under.empty() ? words : under;
}

std::string describeWords(const CAssemblyResult& result, const std::vector<Placed>& words)
{
    std::string text;
    for (const Placed& placed : words) {
        text += (text.empty() ? "" : "\n\n") + describeWord(result, placed);
    }
    return text;
}

// "R5: register 5, bits 101".
std::string describeRegister(const CLspToken& token)
{
    const std::int32_t number = token.id - TOK_R0;
    return "R" + std::to_string(number) + ": register " + std::to_string(number) + ", bits " +
           NumberFormat::ToBin(static_cast<std::uint64_t>(number), static_cast<int>(kRegisterBits));
}

// The instruction's syntax and pattern, then the words of its line.
std::string describeMnemonic(const CLspDocument& document, const CLspToken& token)
{
    const std::int32_t id = CLspTokens::statementIdOf(token.id);
    const auto found = opcodes().m_table.find(id);
    std::string text = "`" + CVornParser::usageOf(id) + "`";
    if (found != opcodes().m_table.end()) {
        text += "\n\npattern `" + found->second.m_encoding + "`";
    }
    if (document.analysis != nullptr) {
        const CAssemblyResult& result = document.analysis->result;
        const std::string words = describeWords(result, wordsAt(result, token.line, token.column));
        if (!words.empty()) {
            text += "\n\n---\n\n" + words;
        } else if (result.stopped()) {
            text += "\n\n---\n\nno words: the assembly stopped at an error";
        }
    }
    return text;
}

std::string countOf(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Section, word address, definition and number of uses of a label.
std::string describeLabel(const CLspAnalysis& analysis, const CSymbolInfo& symbol)
{
    const CAssemblyResult& result = analysis.result;
    std::string text = "label **" + symbol.name + "**: ";
    if (const CSectionWords* section = CLspWords::sectionOf(result, symbol)) {
        text += "section " + section->name + " (" + std::string(CLspWords::directiveOf(section->kind)) +
                "), word address " + std::to_string(CLspWords::wordAddress(symbol));
    } else if (symbol.definition.known()) {
        text += "no word address: the assembly stopped at an error";
    } else {
        text += "not defined";
    }
    text += "\n\n";
    if (symbol.definition.known() && static_cast<std::size_t>(symbol.definition.fileIndex) < result.files.size()) {
        text += "defined at " + result.files[static_cast<std::size_t>(symbol.definition.fileIndex)] + ":" +
                std::to_string(symbol.definition.line) + ", ";
    }
    return text + countOf(symbol.uses.size(), "use", "uses");
}

json markdown(const std::string& text, const json& range)
{
    return {{"contents", {{"kind", "markdown"}, {"value", text}}}, {"range", range}};
}

// A protocol position: line and UTF-16 character.
struct Point {
    std::size_t line = 0;
    std::size_t character = 0;

    bool operator<(const Point& other) const
    {
        return line < other.line || (line == other.line && character < other.character);
    }
};

// The part of the document hints are asked for: params.range, or all of it.
struct Span {
    Point start;
    Point end{SIZE_MAX, SIZE_MAX};

    bool holds(const Point& point) const { return !(point < start) && !(end < point); }
};

bool isPosition(const json& position)
{
    return position.is_object() && position.contains("line") && position["line"].is_number_unsigned() &&
           position.contains("character") && position["character"].is_number_unsigned();
}

Span spanOf(const json& params)
{
    const json* range = params.is_object() && params.contains("range") ? &params["range"] : nullptr;
    if (range == nullptr || !range->is_object() || !isPosition(range->value("start", json())) ||
        !isPosition(range->value("end", json()))) {
        return {};
    }
    const json& start = (*range)["start"];
    const json& end = (*range)["end"];
    return {{start["line"].get<std::size_t>(), start["character"].get<std::size_t>()},
            {end["line"].get<std::size_t>(), end["character"].get<std::size_t>()}};
}

// "@3 0c48  @4 1234".
std::string hintLabel(const std::vector<Placed>& words)
{
    std::string label;
    for (const Placed& placed : words) {
        if (!label.empty()) {
            label += kWordSeparator;
        }
        label += "@" + std::to_string(placed.word->address) + " " + CLspWords::hex(placed.word->value);
    }
    return label;
}

// The hint at the end of a line; null outside the span.
json hintAt(const CLspDocument& document, std::size_t line, const std::vector<Placed>& words, const Span& span)
{
    const std::string_view text = document.lines.line(line);
    const Point end{line, CLspText::utf16Column(text, text.size())};
    if (!span.holds(end)) {
        return nullptr;
    }
    return {{"position", {{"line", end.line}, {"character", end.character}}},
            {"label", hintLabel(words)},
            {"paddingLeft", true}};
}

// The words of the document's own lines, ordered by line (a line's words in address order).
std::vector<std::pair<std::size_t, Placed>> wordsByLine(const CAssemblyResult& result, std::size_t lineCount)
{
    std::vector<std::pair<std::size_t, Placed>> words;
    for (const CSectionWords& section : result.sections) {
        for (const CWord& word : section.words) {
            const auto line = static_cast<std::size_t>(word.pos.line - 1);
            if (word.pos.fileIndex == CLspAnalysis::kDocumentFile && word.pos.line > 0 && line < lineCount) {
                words.push_back({line, {&word, &section}});
            }
        }
    }
    std::stable_sort(words.begin(), words.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return words;
}
}  // namespace

// One hint per line that made words, at the line's end: "@3 0c48  @4 1234".
CLspHints::json CLspHints::inlayHints(const CLspDocument& document, const json& params)
{
    json hints = json::array();
    if (document.analysis == nullptr) {
        return hints;
    }
    const Span span = spanOf(params);
    const auto words = wordsByLine(document.analysis->result, document.lines.lineCount());
    for (std::size_t first = 0; first < words.size();) {
        std::size_t last = first;
        std::vector<Placed> line;
        for (; last < words.size() && words[last].first == words[first].first; ++last) {
            line.push_back(words[last].second);
        }
        json hint = hintAt(document, words[first].first, line, span);
        if (!hint.is_null()) {
            hints.push_back(std::move(hint));
        }
        first = last;
    }
    return hints;
}

// What the token under the cursor is: a label, a mnemonic, a register, or
// else the words its line made.
CLspHints::json CLspHints::hover(const CLspDocument& document, const json& params)
{
    const CLspPositions::Place place = CLspPositions::place(document, params);
    const CLspToken* token = CLspTokens::at(document.tokens, place.line, place.column);
    if (const CSymbolInfo* label = CLspWords::labelOf(document, token)) {
        return markdown(describeLabel(*document.analysis, *label), CLspPositions::range(document, *token));
    }
    if (token != nullptr && token->kind == CLspToken::Mnemonic) {
        return markdown(describeMnemonic(document, *token), CLspPositions::range(document, *token));
    }
    if (token != nullptr && token->kind == CLspToken::Register) {
        return markdown(describeRegister(*token), CLspPositions::range(document, *token));
    }
    if (document.analysis == nullptr) {
        return nullptr;
    }
    const CAssemblyResult& result = document.analysis->result;
    const std::vector<Placed> words = wordsAt(result, place.line, token != nullptr ? token->column : place.column);
    if (words.empty()) {
        return nullptr;
    }
    const json range = token != nullptr ? CLspPositions::range(document, *token)
                                        : CLspPositions::range(&document.lines, words.front().word->pos);
    return markdown(describeWords(result, words), range);
}
