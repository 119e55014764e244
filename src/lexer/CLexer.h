#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/CToken.h"

class CDiagnosticMsgHandler;
class CFileBuffer;

// Turns the bytes of a CFileBuffer into tokens. Every token scanned stays in
// a history with a cursor, so the parser can back up and replay tokens
// without scanning them again. Target lexers put operators of their own
// before the base ones and add keywords.
class CLexer {
public:
    // Fills the base operator table and the keyword "__NEW_LINE__".
    CLexer();
    virtual ~CLexer() = default;

    // Tried before operators; a non-zero id takes precedence. Yields nothing here.
    virtual void scanTargetToken(CToken& token);

    // Reads `input` from its read position on, with an empty history.
    void start(CFileBuffer* input);

    // The token at the cursor (scanning a new one at the end of the history);
    // advances the cursor. The reference stays valid until the token is released.
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
    // A kept token by its index among all tokens scanned.
    const CToken& historyAt(std::size_t index) const { return m_history[index - m_historyBase]; }
    std::size_t historySize() const { return m_historyBase + m_history.size(); }

    CFileBuffer* m_input = nullptr;
    std::deque<CToken> m_history;
    std::size_t m_historyBase = 0;  // index of m_history's first token
    std::int32_t m_cursor = 0;
    std::map<std::string, std::int32_t, std::less<>> m_keywords;
    std::vector<std::pair<std::string, std::int32_t>> m_operators;
    // Where an unrecognised character is reported (1305); may be null.
    CDiagnosticMsgHandler* m_diag = nullptr;
    // Reading for positions and explanations: an unrecognised character is a
    // token of its own (TOK_NONE, one byte) rather than the end of input.
    bool m_tolerant = false;

private:
    void scanToken(CToken& token);
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

    // Returned by peekByte beyond the end of the input; in no character class.
    static constexpr int kNoByte = 0x100;
};
