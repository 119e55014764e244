#pragma once

#include <cstdint>

#include "lexer/CLexer.h"

// Token ids of the Vorn target (50 to 81): section names, ":", the
// mnemonics and the registers R0 to R7 (consecutive, register n = id - 74).
enum VornTokenId : std::int32_t {
    TOK_TEXT = 50,
    TOK_DATA = 51,
    TOK_COLON = 52,
    TOK_MOV = 53,
    TOK_ADD = 54,
    TOK_SUB = 55,
    TOK_AND = 56,
    TOK_OR = 57,
    TOK_NOT = 58,
    TOK_INC = 59,
    TOK_DEC = 60,
    TOK_SHL = 61,
    TOK_SHR = 62,
    TOK_ASHL = 63,
    TOK_ASHR = 64,
    TOK_JMP = 65,
    TOK_JMPZ = 66,
    TOK_JMPS = 67,
    TOK_JMPC = 68,
    TOK_JMPNZ = 69,
    TOK_JMPNS = 70,
    TOK_JMPNC = 71,
    TOK_LD = 72,
    TOK_ST = 73,
    TOK_R0 = 74,
    TOK_R1 = 75,
    TOK_R2 = 76,
    TOK_R3 = 77,
    TOK_R4 = 78,
    TOK_R5 = 79,
    TOK_R6 = 80,
    TOK_R7 = 81,
};

constexpr bool isRegisterToken(std::int32_t id)
{
    return id >= TOK_R0 && id <= TOK_R7;
}

constexpr bool isMnemonicToken(std::int32_t id)
{
    return id >= TOK_MOV && id <= TOK_ST;
}

// The Vorn lexer: the base lexer plus ":" (searched before every other
// operator) and the target's keywords. Mnemonics and registers are entered
// in lower and upper case, the section names in lower case only.
class CVornLexer : public CLexer {
public:
    CVornLexer();
};
