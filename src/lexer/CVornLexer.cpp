#include "lexer/CVornLexer.h"

namespace {
struct SectionKeyword {
    const char* text;
    std::int32_t id;
};

// Entered in both spellings with the same id.
struct KeywordEntry {
    const char* lower;
    const char* upper;
    std::int32_t id;
};

// Lower case only: ".TEXT" stays an identifier.
constexpr SectionKeyword kSectionKeywords[] = {
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
}  // namespace

CVornLexer::CVornLexer()
{
    // ":" is searched before every base operator.
    m_operators.insert(m_operators.begin(), {":", TOK_COLON});
    for (const SectionKeyword& entry : kSectionKeywords) {
        m_keywords.emplace(entry.text, entry.id);
    }
    for (const KeywordEntry& entry : kCaseKeywords) {
        m_keywords.emplace(entry.lower, entry.id);
    }
    for (const KeywordEntry& entry : kCaseKeywords) {
        m_keywords.emplace(entry.upper, entry.id);
    }
}
