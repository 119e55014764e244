#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/CToken.h"

// A spelling and the token id it stands for: an entry of an operator or
// keyword table.
struct CLexeme {
    std::string_view text;
    std::int32_t id;
};

// The base operators, searched in this order after any a target puts in front.
inline constexpr std::array<CLexeme, 18> kBaseOperators = {{
    {",", TOK_COMMA},     {"[", TOK_LBRACKET}, {"]", TOK_RBRACKET},      {"(", TOK_LPAREN},
    {")", TOK_RPAREN},    {"{", TOK_LBRACE},   {"}", TOK_RBRACE},        {"+", TOK_PLUS},
    {"-", TOK_MINUS},     {"*", TOK_STAR},     {"/", TOK_SLASH},         {"%", TOK_PERCENT},
    {"&", TOK_AMPERSAND}, {"|", TOK_BAR},      {">>", TOK_SHIFT_RIGHT},  {"<<", TOK_SHIFT_LEFT},
    {"~", TOK_TILDE},     {"=", TOK_EQUALS},
}};

// The base keyword: it separates two statements on one line.
inline constexpr std::array<CLexeme, 1> kBaseKeywords = {{{"__NEW_LINE__", TOK_SEPARATOR}}};

class CDiagnosticMsgHandler;
class CFileBuffer;

// Turns the bytes of a CFileBuffer into tokens. Every token scanned stays in
// a history with a cursor, so the parser can back up and replay tokens
// without scanning them again, until the parser releases it. Target lexers
// put operators of their own before the base ones and add keywords.
class CLexer {
public:
    // A target's tables: operators in search order (none empty), keywords
    // sorted by their text (byte by byte). Both must outlive the lexer.
    CLexer(std::span<const CLexeme> operators, std::span<const CLexeme> keywords);
    virtual ~CLexer() = default;

    // Tried before operators; a non-zero id takes precedence. Yields nothing here.
    virtual void scanTargetToken(CToken& token);

    // Reads `input` from its read position on, with an empty history.
    void start(CFileBuffer* input);

    // The token at the cursor (scanning a new one at the end of the history);
    // advances the cursor. The reference stays valid until the next call of
    // next(), peek() or a release.
    const CToken& next();
    // Moves the cursor back by one and returns the token put back.
    const CToken& unget();
    // next() followed by unget().
    const CToken& peek();
    // Copies of the kept history entries in [first, min(last, size)).
    std::vector<CToken> tokensBetween(std::int32_t first, std::int32_t last) const;
    // Releases the tokens before `cursor`: the parser calls this between
    // statements, which it never backs up across. Cursor values keep
    // counting from the first token scanned.
    void releaseHistoryBefore(std::int32_t cursor);
    // Scans one token at the read position into `token`, outside the
    // history: for reading a line again, for places and explanations.
    void scanToken(CToken& token);

    // A kept token by its index among all tokens scanned.
    const CToken& historyAt(std::size_t index) const { return m_history[index - m_historyBase]; }
    std::size_t historySize() const { return m_historyBase + m_history.size(); }

    CFileBuffer* m_input = nullptr;
    std::vector<CToken> m_history;
    std::size_t m_historyBase = 0;  // index of m_history's first token
    std::int32_t m_cursor = 0;
    std::span<const CLexeme> m_operators;
    std::span<const CLexeme> m_keywords;
    // What the tables allow, so that most bytes and words need no search:
    // the bytes an operator begins with, and the lengths keywords have (the
    // last bit for all from its length on).
    std::bitset<256> m_operatorStarts;
    std::bitset<32> m_keywordLengths;
    // Where an unrecognised character is reported (1305); may be null.
    CDiagnosticMsgHandler* m_diag = nullptr;
    // Reading for positions and explanations: an unrecognised character is a
    // token of its own (TOK_NONE, one byte) rather than the end of input.
    bool m_tolerant = false;

private:
    void scanAfterBlanks(CToken& token);
    bool scanBlockComment();
    bool scanLineComment(CToken& token);
    bool scanOperator(CToken& token);
    bool scanIdentifier(CToken& token);
    bool scanLineMarker(CToken& token);
    bool scanHexNumber(CToken& token);
    bool scanDecNumber(CToken& token);
    void scanUnrecognized(CToken& token);

    // The keyword id of the word (as written, else in upper case, which then
    // becomes the word) or TOK_IDENTIFIER.
    std::int32_t lookupKeyword(std::string& word) const;
    // The id of the keyword spelled exactly so, or TOK_NONE.
    std::int32_t findKeyword(std::string_view word) const;

    // The byte `offset` places after the read position, as a signed
    // character, or kNoByte beyond the end.
    int peekByte(std::size_t offset = 0) const;
    // Moves the read position forward, never past the end.
    void advance(std::size_t count = 1);
    bool atEnd() const;
    std::size_t position() const;
    void setPosition(std::size_t position);
    std::string_view textFrom(std::size_t start) const;
    // The bytes from the read position to the end; empty without input.
    std::string_view rest() const;
    // Consumes bytes through `stop`; false (everything consumed) when the
    // input ends first.
    bool skipPast(char stop);
    void skipWhile(bool (*inClass)(int));

    // What unget() gives when there is nothing to put back.
    const CToken m_nothing;

    // Returned by peekByte beyond the end of the input; in no character class.
    static constexpr int kNoByte = 0x100;

};
