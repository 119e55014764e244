#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "asm/CProgramModule.h"
#include "lexer/CToken.h"
#include "lexer/CTokenHistory.h"

class CFileBuffer;

// Turns the bytes of a CFileBuffer into tokens. Every token scanned stays in
// a history with a cursor, so the parser can back up and replay tokens
// without scanning them again. Target lexers may put operators before the
// base ones (ahead of init), add keywords, and supply tokens of their own.
class CLexer : public CProgramModule {
public:
    // Fills the base operator table and the keyword "__NEW_LINE__".
    void init(CAsm* driver) override;
    // Tried before operators; a non-zero id takes precedence. Yields nothing here.
    virtual void scanTargetToken(CToken& token);

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
    // statements, which it never backs up across, so the history stays as
    // short as one statement however long the input. Cursor values and
    // history indexes keep counting from the first token ever scanned.
    void releaseHistoryBefore(std::int32_t cursor);

    // Tokens scanned so far, released ones included.
    std::size_t historySize() const { return m_history.end(); }
    // The index of the oldest kept token.
    std::size_t historyBase() const { return m_history.begin(); }
    // A kept token by its index among all tokens scanned.
    const CToken& historyAt(std::size_t index) const { return m_history.at(index); }

    CFileBuffer* m_input = nullptr;
    // The kept tokens; appending never moves the tokens already scanned.
    CTokenHistory m_history;
    std::int32_t m_cursor = 0;
    std::map<std::string, std::int32_t, std::less<>> m_keywords;
    std::vector<std::pair<std::string, std::int32_t>> m_operators;

protected:
    // Returned by peekByte beyond the end of the input; in no character class.
    static constexpr int kNoByte = 0x100;

    // The byte `offset` places after the read position, as a signed
    // character, or kNoByte beyond the end. Never reads outside the buffer.
    int peekByte(std::size_t offset = 0) const;
    // Moves the read position forward, never past the end.
    void advance(std::size_t count = 1);
    bool atEnd() const;
    std::size_t position() const;
    void setPosition(std::size_t position);
    std::string_view textFrom(std::size_t start) const;
    // The bytes from the read position to the end; empty without input.
    std::string_view rest() const;

private:
    // Scans one token into `token` (a fresh entry of the history), with
    // its place in the input.
    void scanToken(CToken& token);
    void scanAfterBlanks(CToken& token);
    bool scanBlockComment();
    bool scanLineComment(CToken& token);
    bool scanNewline();
    bool scanOperator(CToken& token);
    bool scanIdentifier(CToken& token);
    bool scanLineMarker(CToken& token);
    bool scanHexNumber(CToken& token);
    bool scanDecNumber(CToken& token);
    void reportUnrecognized();

    // Consumes bytes through `stop`; false (everything consumed) when the
    // input ends first.
    bool skipPast(char stop);
    void skipWhile(bool (*inClass)(int));
    // The keyword id of the word (as written, else in upper case, which then
    // becomes the word) or TOK_IDENTIFIER.
    std::int32_t lookupKeyword(std::string& word);
    // Rebuilds the look-up indexes when the tables have grown; targets fill
    // the tables before and after the base init, so this happens at the first scan.
    void refreshIndexes();
    void indexOperators();
    void indexKeywords();
    bool indexesCurrent() const;
    // The id of the keyword spelled exactly so, or TOK_NONE.
    std::int32_t findKeyword(std::string_view word) const;

    // Derived from the tables: by byte, the operators that can match there
    // (indexes into m_operators, in table order; none where no operator text
    // begins with the byte), and the keywords by their text (views of the
    // keys of m_keywords, which never move).
    std::array<std::vector<std::size_t>, 256> m_operatorCandidates;
    std::size_t m_indexedOperators = 0;
    std::unordered_map<std::string_view, std::int32_t> m_keywordIndex;
    // The lengths of the keywords (the last bit for all from its length on):
    // a word of another length is no keyword, in any spelling.
    std::bitset<64> m_keywordLengths;
    std::string m_upperWord;
};
