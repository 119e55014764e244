#include "lexer/CVornLexer.h"

#include <algorithm>
#include <array>

namespace {
// Entered in both spellings with the same id.
struct KeywordEntry {
    const char* lower;
    const char* upper;
    std::int32_t id;
};

// Lower case only: ".TEXT" stays an identifier.
constexpr CLexeme kSectionKeywords[] = {
    {".text", TOK_TEXT},
    {".data", TOK_DATA},
};

// Mnemonics in id order, then the registers.
constexpr KeywordEntry kCaseKeywords[] = {
    {"mov", "MOV", TOK_MOV},       {"add", "ADD", TOK_ADD},       {"sub", "SUB", TOK_SUB},
    {"and", "AND", TOK_AND},       {"or", "OR", TOK_OR},          {"not", "NOT", TOK_NOT},
    {"inc", "INC", TOK_INC},       {"dec", "DEC", TOK_DEC},       {"shl", "SHL", TOK_SHL},
    {"shr", "SHR", TOK_SHR},       {"ashl", "ASHL", TOK_ASHL},    {"ashr", "ASHR", TOK_ASHR},
    {"jmp", "JMP", TOK_JMP},       {"jmpz", "JMPZ", TOK_JMPZ},    {"jmps", "JMPS", TOK_JMPS},
    {"jmpc", "JMPC", TOK_JMPC},    {"jmpnz", "JMPNZ", TOK_JMPNZ}, {"jmpns", "JMPNS", TOK_JMPNS},
    {"jmpnc", "JMPNC", TOK_JMPNC}, {"ld", "LD", TOK_LD},          {"st", "ST", TOK_ST},
    {"r0", "R0", TOK_R0},          {"r1", "R1", TOK_R1},          {"r2", "R2", TOK_R2},
    {"r3", "R3", TOK_R3},          {"r4", "R4", TOK_R4},          {"r5", "R5", TOK_R5},
    {"r6", "R6", TOK_R6},          {"r7", "R7", TOK_R7},
};

constexpr std::size_t kKeywordCount =
    std::size(kBaseKeywords) + std::size(kSectionKeywords) + 2 * std::size(kCaseKeywords);

// The keyword table: the base keyword, the section names, every mnemonic and
// register in both spellings, sorted for the lexer's search.
constexpr std::array<CLexeme, kKeywordCount> makeKeywords()
{
    std::array<CLexeme, kKeywordCount> keywords{};
    std::size_t next = 0;
    for (const CLexeme& entry : kBaseKeywords) {
        keywords[next++] = entry;
    }
    for (const CLexeme& entry : kSectionKeywords) {
        keywords[next++] = entry;
    }
    for (const KeywordEntry& entry : kCaseKeywords) {
        keywords[next++] = {entry.lower, entry.id};
        keywords[next++] = {entry.upper, entry.id};
    }
    std::sort(keywords.begin(), keywords.end(), [](const CLexeme& a, const CLexeme& b) { return a.text < b.text; });
    return keywords;
}

// ":" is searched before every base operator.
constexpr std::array<CLexeme, 1 + kBaseOperators.size()> makeOperators()
{
    std::array<CLexeme, 1 + kBaseOperators.size()> operators{};
    operators[0] = {":", TOK_COLON};
    std::copy(kBaseOperators.begin(), kBaseOperators.end(), operators.begin() + 1);
    return operators;
}

constexpr auto kKeywords = makeKeywords();
constexpr auto kOperators = makeOperators();
static_assert(std::none_of(kOperators.begin(), kOperators.end(),
                           [](const CLexeme& entry) { return entry.text.empty(); }),
              "an operator is at least one byte");
}  // namespace

CVornLexer::CVornLexer() : CLexer(kOperators, kKeywords) {}
