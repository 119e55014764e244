#include "lexer/CLexer.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CDiagnosticMsgHandler.h"
#include "util/NumberFormat.h"

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

// Character classes; bytes 0x80 to 0xFF (negative as signed characters) and
// kNoByte belong to none.
enum CharClass : std::uint8_t {
    kBlank = 1,
    kDigit = 2,
    kIdentifierStart = 4,
    kHexLetter = 8,
};

constexpr std::array<std::uint8_t, 256> makeCharClasses()
{
    std::array<std::uint8_t, 256> classes{};
    classes[' '] = classes['\t'] = classes['\r'] = kBlank;
    for (int c = '0'; c <= '9'; ++c) {
        classes[c] = kDigit;
    }
    for (int c = 'A'; c <= 'Z'; ++c) {
        classes[c] = kIdentifierStart;
        classes[c + 'a' - 'A'] = kIdentifierStart;
    }
    for (int c = 'A'; c <= 'F'; ++c) {
        classes[c] |= kHexLetter;
        classes[c + 'a' - 'A'] |= kHexLetter;
    }
    classes['_'] = classes['.'] = kIdentifierStart;
    return classes;
}

constexpr std::array<std::uint8_t, 256> kCharClasses = makeCharClasses();

bool inClasses(int c, std::uint8_t classes)
{
    // Negative characters and kNoByte fall outside the table.
    return static_cast<unsigned>(c) < 0x80U && (kCharClasses[static_cast<std::size_t>(c)] & classes) != 0;
}

bool isBlank(int c)
{
    return inClasses(c, kBlank);
}

bool isDigit(int c)
{
    return inClasses(c, kDigit);
}

bool isIdentifierStart(int c)
{
    return inClasses(c, kIdentifierStart);
}

bool isIdentifierPart(int c)
{
    return inClasses(c, kIdentifierStart | kDigit);
}

bool isHexDigit(int c)
{
    return inClasses(c, kDigit | kHexLetter);
}

char toUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Keywords and operators are a few bytes long: a plain loop beats a library
// compare.
bool sameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

// The bit of m_keywordLengths that stands for a word of this length.
std::size_t lengthBit(std::size_t length, std::size_t bits)
{
    return std::min(length, bits - 1);
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
    if (index < historyBase()) {
        // Released tokens cannot be replayed; reading resumes at the oldest kept one.
        index = historyBase();
        m_cursor = static_cast<std::int32_t>(index);
    }
    ++m_cursor;
    if (index < historySize()) {
        return historyAt(index);
    }
    // Scanned in place: the token's text is copied once, from the input.
    CToken& token = m_history.append();
    scanToken(token);
    return token;
}

const CToken& CLexer::unget()
{
    static const CToken kNothing;
    if (m_cursor <= 0 || m_history.empty() || static_cast<std::size_t>(m_cursor) <= historyBase()) {
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
    const std::size_t begin = std::max(first < 0 ? 0 : static_cast<std::size_t>(first), historyBase());
    const std::size_t end = last < 0 ? 0 : std::min(static_cast<std::size_t>(last), historySize());
    for (std::size_t index = begin; index < end; ++index) {
        tokens.push_back(historyAt(index));
    }
    return tokens;
}

void CLexer::releaseHistoryBefore(std::int32_t cursor)
{
    m_history.releaseBefore(cursor < 0 ? 0 : static_cast<std::size_t>(cursor));
}

std::string_view CLexer::rest() const
{
    if (m_input == nullptr || m_input->m_pos >= m_input->m_data.size()) {
        return {};
    }
    return {reinterpret_cast<const char*>(m_input->m_data.data()) + m_input->m_pos,
            m_input->m_data.size() - m_input->m_pos};
}

int CLexer::peekByte(std::size_t offset) const
{
    const std::string_view bytes = rest();
    return offset < bytes.size() ? static_cast<signed char>(bytes[offset]) : kNoByte;
}

void CLexer::advance(std::size_t count)
{
    const std::size_t step = std::min(count, rest().size());
    if (step > 0) {
        m_input->m_pos += step;
    }
}

bool CLexer::atEnd() const
{
    return rest().empty();
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
    const std::string_view bytes = rest();
    const std::size_t found = bytes.find(stop);
    if (found == std::string_view::npos) {
        advance(bytes.size());
        return false;
    }
    advance(found + 1);
    return true;
}

void CLexer::skipWhile(bool (*inClass)(int))
{
    const std::string_view bytes = rest();
    std::size_t count = 0;
    while (count < bytes.size() && inClass(bytes[count])) {
        ++count;
    }
    advance(count);
}

void CLexer::refreshIndexes()
{
    if (m_indexedOperators != m_operators.size()) {
        indexOperators();
    }
    if (m_keywordIndex.size() != m_keywords.size()) {
        indexKeywords();
    }
}

void CLexer::indexOperators()
{
    // Only bytes that some operator text begins with get candidates; an
    // empty text is then a candidate there too, matching in front of the byte.
    std::array<bool, 256> starts{};
    for (const auto& entry : m_operators) {
        if (!entry.first.empty()) {
            starts[static_cast<unsigned char>(entry.first.front())] = true;
        }
    }
    for (std::size_t byte = 0; byte < m_operatorCandidates.size(); ++byte) {
        m_operatorCandidates[byte].clear();
        for (std::size_t index = 0; starts[byte] && index < m_operators.size(); ++index) {
            const std::string& text = m_operators[index].first;
            if (text.empty() || static_cast<unsigned char>(text.front()) == byte) {
                m_operatorCandidates[byte].push_back(index);
            }
        }
    }
    m_indexedOperators = m_operators.size();
}

void CLexer::indexKeywords()
{
    m_keywordIndex.clear();
    m_keywordIndex.reserve(m_keywords.size());
    m_keywordLengths.reset();
    for (const auto& [word, id] : m_keywords) {
        m_keywordIndex.emplace(word, id);
        m_keywordLengths.set(lengthBit(word.size(), m_keywordLengths.size()));
    }
}

bool CLexer::indexesCurrent() const
{
    return m_indexedOperators == m_operators.size() && m_keywordIndex.size() == m_keywords.size();
}

void CLexer::scanToken(CToken& token)
{
    if (!indexesCurrent()) {
        refreshIndexes();
    }
    skipWhile(isBlank);
    const std::size_t start = position();
    scanAfterBlanks(token);
    token.m_offset = start;
    token.m_length = position() - start;
}

void CLexer::scanAfterBlanks(CToken& token)
{
    // The first byte rules out most forms: comments begin with "/" or ";".
    const int first = peekByte();
    if (first == '/' || first == ';') {
        if (scanBlockComment()) {
            setToken(token, TOK_COMMENT);
            return;
        }
        if (scanLineComment(token)) {
            return;
        }
    }
    // An unclosed block comment has swallowed the rest of the input.
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
    const std::string_view bytes = rest();
    if (bytes.empty()) {
        return false;
    }
    for (const std::size_t index : m_operatorCandidates[static_cast<unsigned char>(bytes.front())]) {
        const auto& [text, id] = m_operators[index];
        if (sameText(bytes.substr(0, text.size()), text)) {
            advance(text.size());
            setToken(token, id, text);
            return true;
        }
    }
    return false;
}

bool CLexer::scanIdentifier(CToken& token)
{
    const std::string_view bytes = rest();
    if (bytes.empty() || !isIdentifierStart(bytes.front())) {
        return false;
    }
    skipWhile(isIdentifierPart);
    setToken(token, TOK_IDENTIFIER, bytes.substr(0, bytes.size() - rest().size()));
    token.m_id = lookupKeyword(token.m_text);
    return true;
}

std::int32_t CLexer::lookupKeyword(std::string& word)
{
    // A word of a length no keyword has needs no look-up (most labels).
    if (!m_keywordLengths.test(lengthBit(word.size(), m_keywordLengths.size()))) {
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
    const auto found = m_keywordIndex.find(word);
    return found == m_keywordIndex.end() ? TOK_NONE : found->second;
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
    if (m_common == nullptr || m_common->m_diagnostics == nullptr) {
        return;
    }
    const int byte = peekByte();
    CDiagnosticMsgHandler::Detail detail;
    if (byte > ' ' && byte < 0x7F) {
        detail.text = std::string("unrecognized character '") + static_cast<char>(byte) + "'";
    } else {
        detail.text = "unrecognized byte 0x" + NumberFormat::ToHex(static_cast<std::uint8_t>(byte), 2);
    }
    detail.offset = position();
    m_common->m_diagnostics->reportError(kUnrecognizedToken, -1, -1, "", std::move(detail));
}
