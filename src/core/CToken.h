#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Token ids of the base lexer (0 to 26); the target adds its own from 50.
enum TokenId : std::int32_t {
    TOK_NONE = 0,
    TOK_DEC_NUMBER = 1,
    TOK_HEX_NUMBER = 2,
    TOK_COMMA = 3,
    TOK_LBRACKET = 4,
    TOK_RBRACKET = 5,
    TOK_LPAREN = 6,
    TOK_RPAREN = 7,
    TOK_LBRACE = 8,
    TOK_RBRACE = 9,
    TOK_IDENTIFIER = 10,
    TOK_END = 11,
    TOK_NEWLINE = 12,
    TOK_LINE_MARKER = 13,
    TOK_PLUS = 14,
    TOK_MINUS = 15,
    TOK_STAR = 16,
    TOK_SLASH = 17,
    TOK_PERCENT = 18,
    TOK_AMPERSAND = 19,
    TOK_BAR = 20,
    TOK_SHIFT_RIGHT = 21,
    TOK_SHIFT_LEFT = 22,
    TOK_TILDE = 23,
    TOK_EQUALS = 24,
    TOK_COMMENT = 25,
    TOK_SEPARATOR = 26,
};

// One scanned token, copied in and out of the lexer's history, with where
// it stands in the input (for messages).
struct CToken {
    std::int32_t m_id = TOK_NONE;
    std::string m_text;
    std::int32_t m_value = 0;
    std::size_t m_offset = 0;   // its first byte
    std::size_t m_length = 0;   // its bytes
};
