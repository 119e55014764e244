#include "lexer/CLexer.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "util/CDiagnosticMsgHandler.h"

namespace {
struct OperatorEntry {
    const char* text;
    std::int32_t id;
};

// Searched in this order, after any operators a target puts in front.
constexpr OperatorEntry kBaseOperators[] = {
    {",", TOK_COMMA},     {"[", TOK_LBRACKET},   {"]", TOK_RBRACKET},  {"(", TOK_LPAREN},
    {")", TOK_RPAREN},    {"{", TOK_LBRACE},     {"}", TOK_RBRACE},    {"+", TOK_PLUS},
    {"-", TOK_MINUS},     {"*", TOK_STAR},       {"/", TOK_SLASH},     {"%", TOK_PERCENT},
    {"&", TOK_AMPERSAND}, {"|", TOK_BAR},        {">>", TOK_SHIFT_RIGHT}, {"<<", TOK_SHIFT_LEFT},
    {"~", TOK_TILDE},     {"=", TOK_EQUALS},
};

constexpr const char* kSeparatorKeyword = "__NEW_LINE__";
constexpr int kUnrecognizedToken = 1305;
constexpr std::int32_t kMaxNumber = std::numeric_limits<std::int32_t>::max();

// Character classes on signed characters: bytes 0x80 to 0xFF belong to none.
bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

bool isIdentifierStart(int c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.';
}

bool isIdentifierPart(int c)
{
    return isIdentifierStart(c) || isDigit(c);
}

bool isHexDigit(int c)
{
    return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

char toUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Appends a decimal digit, saturating at the largest 32-bit value.
std::int32_t appendDigit(std::int32_t value, int c)
{
    const std::int64_t next = static_cast<std::int64_t>(value) * 10 + (c - '0');
    return next > kMaxNumber ? kMaxNumber : static_cast<std::int32_t>(next);
}

void setToken(CToken& token, std::int32_t id, std::string_view text = {}, std::int32_t value = 0)
{
    token.m_id = id;
    token.m_text.assign(text);
    token.m_value = value;
}
}  // namespace

void CLexer::init(CAsm* driver)
{
    CProgramModule::init(driver);
    for (const OperatorEntry& entry : kBaseOperators) {
        m_operators.emplace_back(entry.text, entry.id);
    }
    m_keywords.emplace(kSeparatorKeyword, TOK_SEPARATOR);
}

void CLexer::scanTargetToken(CToken& token)
{
    setToken(token, TOK_NONE);
}

const CToken& CLexer::next()
{
    if (m_cursor < 0) {
        m_cursor = 0;
    }
    std::size_t index = static_cast<std::size_t>(m_cursor);
    if (index < m_historyBase) {
        // Released tokens cannot be replayed; reading resumes at the oldest kept one.
        index = m_historyBase;
        m_cursor = static_cast<std::int32_t>(index);
    }
    ++m_cursor;
    if (index < historySize()) {
        return historyAt(index);
    }
    // Scanned in place: the token's text is copied once, from the input.
    scanToken(m_history.emplace_back());
    return m_history.back();
}

const CToken& CLexer::unget()
{
    static const CToken kNothing;
    if (m_cursor <= 0 || m_history.empty() || static_cast<std::size_t>(m_cursor) <= m_historyBase) {
        return kNothing;
    }
    --m_cursor;
    const std::size_t index = static_cast<std::size_t>(m_cursor);
    return index < historySize() ? historyAt(index) : m_history.back();
}

const CToken& CLexer::peek()
{
    next();
    return unget();
}

std::vector<CToken> CLexer::tokensBetween(std::int32_t first, std::int32_t last) const
{
    std::vector<CToken> tokens;
    const std::size_t begin = std::max(first < 0 ? 0 : static_cast<std::size_t>(first), m_historyBase);
    const std::size_t end = last < 0 ? 0 : std::min(static_cast<std::size_t>(last), historySize());
    for (std::size_t index = begin; index < end; ++index) {
        tokens.push_back(historyAt(index));
    }
    return tokens;
}

void CLexer::releaseHistoryBefore(std::int32_t cursor)
{
    const std::size_t end = cursor < 0 ? 0 : std::min(static_cast<std::size_t>(cursor), historySize());
    if (end <= m_historyBase) {
        return;
    }
    m_history.erase(m_history.begin(), m_history.begin() + static_cast<std::ptrdiff_t>(end - m_historyBase));
    m_historyBase = end;
}

int CLexer::peekByte(std::size_t offset) const
{
    if (m_input == nullptr || m_input->m_pos >= m_input->m_data.size() ||
        offset >= m_input->m_data.size() - m_input->m_pos) {
        return kNoByte;
    }
    return static_cast<signed char>(m_input->m_data[m_input->m_pos + offset]);
}

void CLexer::advance(std::size_t count)
{
    if (m_input == nullptr || m_input->m_pos >= m_input->m_data.size()) {
        return;
    }
    const std::size_t left = m_input->m_data.size() - m_input->m_pos;
    m_input->m_pos += std::min(count, left);
}

bool CLexer::atEnd() const
{
    return m_input == nullptr || m_input->m_pos >= m_input->m_data.size();
}

std::size_t CLexer::position() const
{
    return m_input == nullptr ? 0 : m_input->m_pos;
}

void CLexer::setPosition(std::size_t position)
{
    if (m_input != nullptr) {
        m_input->m_pos = std::min(position, m_input->m_data.size());
    }
}

std::string_view CLexer::textFrom(std::size_t start) const
{
    const std::size_t end = position();
    if (m_input == nullptr || start >= end) {
        return {};
    }
    return {reinterpret_cast<const char*>(m_input->m_data.data()) + start, end - start};
}

bool CLexer::skipPast(char stop)
{
    while (!atEnd()) {
        const int c = peekByte();
        advance();
        if (c == stop) {
            return true;
        }
    }
    return false;
}

void CLexer::skipWhile(bool (*inClass)(int))
{
    while (inClass(peekByte())) {
        advance();
    }
}

void CLexer::refreshIndexes()
{
    if (m_indexedOperators != m_operators.size()) {
        m_operatorStarts.fill(false);
        for (const auto& entry : m_operators) {
            if (!entry.first.empty()) {
                m_operatorStarts[static_cast<unsigned char>(entry.first.front())] = true;
            }
        }
        m_indexedOperators = m_operators.size();
    }
    if (m_indexedKeywords != m_keywords.size()) {
        std::size_t slots = 16;
        while (slots < 2 * m_keywords.size()) {
            slots *= 2;
        }
        m_keywordSlots.assign(slots, KeywordSlot{});
        m_keywordShapes.fill(0);
        for (const auto& [word, id] : m_keywords) {
            // Scanned words are never empty; an empty entry could not be told
            // from a free slot.
            if (word.empty()) {
                continue;
            }
            std::size_t slot = keywordHash(word) & (slots - 1);
            while (!m_keywordSlots[slot].word.empty()) {
                slot = (slot + 1) & (slots - 1);
            }
            m_keywordSlots[slot] = {word, id};
            m_keywordShapes[static_cast<unsigned char>(toUpper(word.front()))] |= lengthBit(word.size());
        }
        m_indexedKeywords = m_keywords.size();
    }
}

bool CLexer::indexesCurrent() const
{
    return m_indexedOperators == m_operators.size() && m_indexedKeywords == m_keywords.size();
}

std::uint64_t CLexer::lengthBit(std::size_t length)
{
    return std::uint64_t{1} << std::min<std::size_t>(length, 63);
}

void CLexer::scanToken(CToken& token)
{
    if (!indexesCurrent()) {
        refreshIndexes();
    }
    skipWhile(isBlank);
    if (scanBlockComment()) {
        setToken(token, TOK_COMMENT);
        return;
    }
    if (scanLineComment(token)) {
        return;
    }
    if (atEnd()) {
        setToken(token, TOK_END);
        return;
    }
    if (scanNewline()) {
        setToken(token, TOK_NEWLINE);
        return;
    }
    scanTargetToken(token);
    if (token.m_id != TOK_NONE) {
        return;
    }
    if (scanOperator(token) || scanIdentifier(token) || scanLineMarker(token) || scanHexNumber(token) ||
        scanDecNumber(token)) {
        return;
    }
    reportUnrecognized();
    setToken(token, TOK_END);
}

bool CLexer::scanBlockComment()
{
    if (peekByte() != '/' || peekByte(1) != '*') {
        return false;
    }
    advance(2);
    while (skipPast('*')) {
        if (peekByte() == '/') {
            advance();
            return true;
        }
    }
    // Unclosed: the comment swallows the rest and the end of input follows.
    return false;
}

bool CLexer::scanLineComment(CToken& token)
{
    const int first = peekByte();
    if (first != ';' && !(first == '/' && peekByte(1) == '/')) {
        return false;
    }
    // A comment cut off by the end of input ends the input.
    setToken(token, skipPast('\n') ? TOK_NEWLINE : TOK_END);
    return true;
}

bool CLexer::scanNewline()
{
    if (peekByte() != '\n') {
        return false;
    }
    advance();
    return true;
}

bool CLexer::scanOperator(CToken& token)
{
    const std::string_view rest(reinterpret_cast<const char*>(m_input->m_data.data()) + m_input->m_pos,
                                m_input->m_data.size() - m_input->m_pos);
    if (!m_operatorStarts[static_cast<unsigned char>(rest.front())]) {
        return false;
    }
    for (const auto& [text, id] : m_operators) {
        if (!text.empty() && text.front() != rest.front()) {
            continue;
        }
        if (rest.substr(0, text.size()) == text) {
            advance(text.size());
            setToken(token, id, text);
            return true;
        }
    }
    return false;
}

bool CLexer::scanIdentifier(CToken& token)
{
    if (!isIdentifierStart(peekByte())) {
        return false;
    }
    const std::size_t start = position();
    skipWhile(isIdentifierPart);
    setToken(token, TOK_IDENTIFIER, textFrom(start));
    token.m_id = lookupKeyword(token.m_text);
    return true;
}

std::int32_t CLexer::lookupKeyword(std::string& word)
{
    // The empty word has no first byte; the look-ups below decide it.
    if (!word.empty() &&
        (m_keywordShapes[static_cast<unsigned char>(toUpper(word.front()))] & lengthBit(word.size())) == 0) {
        return TOK_IDENTIFIER;
    }
    if (const std::int32_t id = findKeyword(word); id != TOK_NONE) {
        return id;
    }
    m_upperWord.assign(word);
    bool changed = false;
    for (char& c : m_upperWord) {
        const char upper = toUpper(c);
        changed = changed || upper != c;
        c = upper;
    }
    // A word already in upper case was looked up as written.
    if (!changed) {
        return TOK_IDENTIFIER;
    }
    if (const std::int32_t id = findKeyword(m_upperWord); id != TOK_NONE) {
        word = m_upperWord;
        return id;
    }
    return TOK_IDENTIFIER;
}

std::int32_t CLexer::findKeyword(std::string_view word) const
{
    if (word.empty() || m_keywordSlots.empty()) {
        return TOK_NONE;
    }
    const std::size_t mask = m_keywordSlots.size() - 1;
    for (std::size_t slot = keywordHash(word) & mask;; slot = (slot + 1) & mask) {
        const KeywordSlot& entry = m_keywordSlots[slot];
        if (entry.word.empty()) {
            return TOK_NONE;
        }
        if (entry.word == word) {
            return entry.id;
        }
    }
}

// FNV-1a: keywords are a few bytes long.
std::uint64_t CLexer::keywordHash(std::string_view word)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (char c : word) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return hash;
}

bool CLexer::scanLineMarker(CToken& token)
{
    if (peekByte() != '#' || peekByte(1) != ' ') {
        return false;
    }
    // Any other shape, also one cut off by the end of input, is no marker: the
    // "#" is then an unrecognised character.
    const std::size_t start = position();
    auto mismatch = [&] {
        setPosition(start);
        return false;
    };
    advance(2);
    std::int32_t line = 0;
    bool leadingDigits = true;
    for (int c = peekByte(); c != ' '; c = peekByte()) {
        if (c == kNoByte) {
            return mismatch();
        }
        leadingDigits = leadingDigits && isDigit(c);
        if (leadingDigits) {
            line = appendDigit(line, c);
        }
        advance();
    }
    advance();
    if (peekByte() != '"') {
        return mismatch();
    }
    advance();
    const std::size_t nameStart = position();
    if (!skipPast('"')) {
        return mismatch();
    }
    const std::string_view quoted = textFrom(nameStart);
    const std::string_view name = quoted.substr(0, quoted.size() - 1);
    // Flags: groups of one space and one character, dropped.
    while (peekByte() == ' ' && peekByte(1) != kNoByte) {
        advance(2);
    }
    const std::size_t carriageReturn = peekByte() == '\r' ? 1 : 0;
    if (peekByte(carriageReturn) != '\n') {
        return mismatch();
    }
    // The line feed stays: it is the next token.
    advance(carriageReturn);
    setToken(token, TOK_LINE_MARKER, name, line);
    return true;
}

bool CLexer::scanHexNumber(CToken& token)
{
    if (peekByte() != '0' || (peekByte(1) != 'x' && peekByte(1) != 'X')) {
        return false;
    }
    const std::size_t start = position();
    advance(2);
    skipWhile(isHexDigit);
    setToken(token, TOK_HEX_NUMBER, textFrom(start));
    return true;
}

bool CLexer::scanDecNumber(CToken& token)
{
    if (!isDigit(peekByte())) {
        return false;
    }
    std::int32_t value = 0;
    for (int c = peekByte(); isDigit(c); c = peekByte()) {
        value = appendDigit(value, c);
        advance();
    }
    setToken(token, TOK_DEC_NUMBER, {}, value);
    return true;
}

void CLexer::reportUnrecognized()
{
    if (m_common != nullptr && m_common->m_diagnostics != nullptr) {
        m_common->m_diagnostics->reportError(kUnrecognizedToken, -1, -1, "");
    }
}
