#include "lexer/CLexer.h"

#include <algorithm>
#include <array>
#include <limits>

#include "core/CDiagnosticMsgHandler.h"
#include "util/CFileBuffer.h"
#include "util/NumberFormat.h"

namespace {
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

constexpr std::array<std::uint8_t, 128> makeCharClasses()
{
    std::array<std::uint8_t, 128> classes{};
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

constexpr std::array<std::uint8_t, 128> kCharClasses = makeCharClasses();

bool inClasses(int c, std::uint8_t classes)
{
    return static_cast<unsigned>(c) < kCharClasses.size() && (kCharClasses[static_cast<std::size_t>(c)] & classes) != 0;
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

CLexer::CLexer(std::span<const CLexeme> operators, std::span<const CLexeme> keywords)
    : m_operators(operators), m_keywords(keywords)
{
    for (const CLexeme& entry : m_operators) {
        m_operatorStarts.set(static_cast<unsigned char>(entry.text.front()));
    }
    for (const CLexeme& entry : m_keywords) {
        m_keywordLengths.set(std::min(entry.text.size(), m_keywordLengths.size() - 1));
    }
}

void CLexer::scanTargetToken(CToken& token)
{
    setToken(token, TOK_NONE);
}

void CLexer::start(CFileBuffer* input)
{
    m_input = input;
    m_history.clear();
    m_historyBase = 0;
    m_cursor = 0;
}

const CToken& CLexer::next()
{
    // Released tokens cannot be replayed; reading resumes at the oldest kept one.
    std::size_t index = std::max(static_cast<std::size_t>(std::max(m_cursor, 0)), m_historyBase);
    m_cursor = static_cast<std::int32_t>(index + 1);
    if (index < historySize()) {
        return historyAt(index);
    }
    CToken& token = m_history.emplace_back();
    scanToken(token);
    return token;
}

const CToken& CLexer::unget()
{
    if (m_cursor <= 0 || static_cast<std::size_t>(m_cursor) <= m_historyBase) {
        return m_nothing;
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
    const std::size_t index = std::min(cursor < 0 ? 0 : static_cast<std::size_t>(cursor), historySize());
    if (index <= m_historyBase) {
        return;
    }
    // The history keeps its room: released tokens cost nothing to make again.
    m_history.erase(m_history.begin(), m_history.begin() + static_cast<std::ptrdiff_t>(index - m_historyBase));
    m_historyBase = index;
}

std::string_view CLexer::rest() const
{
    if (m_input == nullptr || m_input->m_pos >= m_input->m_data.size()) {
        return {};
    }
    return m_input->text().substr(m_input->m_pos);
}

int CLexer::peekByte(std::size_t offset) const
{
    if (m_input == nullptr || m_input->m_pos + offset >= m_input->m_data.size()) {
        return kNoByte;
    }
    return static_cast<signed char>(m_input->m_data[m_input->m_pos + offset]);
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
    return m_input->text().substr(start, end - start);
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

// token = blank* (block-comment | line-comment | END | NEWLINE | target-token
//                 | operator | identifier | line-marker | hex-number | dec-number)
void CLexer::scanToken(CToken& token)
{
    skipWhile(isBlank);
    const std::size_t start = position();
    scanAfterBlanks(token);
    token.m_offset = start;
    token.m_length = position() - start;
}

void CLexer::scanAfterBlanks(CToken& token)
{
    if (scanBlockComment()) {
        setToken(token, TOK_COMMENT);
        return;
    }
    if (scanLineComment(token)) {
        return;
    }
    // An unclosed block comment has swallowed the rest of the input.
    if (atEnd()) {
        setToken(token, TOK_END);
        return;
    }
    if (peekByte() == '\n') {
        advance();
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
    scanUnrecognized(token);
}

// block-comment = "/*" any* "*/"    (unclosed: the rest of the input, and no match)
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
    return false;
}

// line-comment = (";" | "//") any* NEWLINE    (a NEWLINE token; cut off by the end: END)
bool CLexer::scanLineComment(CToken& token)
{
    const int first = peekByte();
    if (first != ';' && !(first == '/' && peekByte(1) == '/')) {
        return false;
    }
    setToken(token, skipPast('\n') ? TOK_NEWLINE : TOK_END);
    return true;
}

// operator = the first entry of m_operators that the next bytes spell
bool CLexer::scanOperator(CToken& token)
{
    const std::string_view bytes = rest();
    if (bytes.empty() || !m_operatorStarts.test(static_cast<unsigned char>(bytes.front()))) {
        return false;
    }
    for (const auto& [text, id] : m_operators) {
        // The first byte rules out most entries before the whole text is compared.
        if (text.front() == bytes.front() && bytes.substr(0, text.size()) == text) {
            advance(text.size());
            setToken(token, id, text);
            return true;
        }
    }
    return false;
}

// identifier = ("A".."Z" | "a".."z" | "_" | ".") ("A".."Z" | "a".."z" | "_" | "." | "0".."9")*
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

std::int32_t CLexer::lookupKeyword(std::string& word) const
{
    // A word of a length no keyword has is none, in any spelling.
    if (!m_keywordLengths.test(std::min(word.size(), m_keywordLengths.size() - 1))) {
        return TOK_IDENTIFIER;
    }
    if (const std::int32_t id = findKeyword(word); id != TOK_NONE) {
        return id;
    }
    std::string upper = word;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    if (upper == word) {
        return TOK_IDENTIFIER;
    }
    if (const std::int32_t id = findKeyword(upper); id != TOK_NONE) {
        word = std::move(upper);
        return id;
    }
    return TOK_IDENTIFIER;
}

std::int32_t CLexer::findKeyword(std::string_view word) const
{
    const auto found = std::lower_bound(m_keywords.begin(), m_keywords.end(), word,
                                        [](const CLexeme& entry, std::string_view text) { return entry.text < text; });
    return found != m_keywords.end() && found->text == word ? found->id : TOK_NONE;
}

// line-marker = "# " number-field " \"" name "\"" (" " flag)* "\r"? (NEWLINE stays next)
bool CLexer::scanLineMarker(CToken& token)
{
    if (peekByte() != '#' || peekByte(1) != ' ') {
        return false;
    }
    // Any other shape, also one cut off by the end of input, is no marker.
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
    while (peekByte() == ' ' && peekByte(1) != kNoByte) {
        advance(2);
    }
    const std::size_t carriageReturn = peekByte() == '\r' ? 1 : 0;
    if (peekByte(carriageReturn) != '\n') {
        return mismatch();
    }
    advance(carriageReturn);
    setToken(token, TOK_LINE_MARKER, name, line);
    return true;
}

// hex-number = "0" ("x" | "X") hex-digit*
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

// dec-number = digit digit*    (saturating at 2147483647)
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

// Reported as 1305 with the end of input; read tolerantly, a token of one byte.
void CLexer::scanUnrecognized(CToken& token)
{
    if (m_tolerant) {
        const std::size_t start = position();
        advance();
        setToken(token, TOK_NONE, textFrom(start));
        return;
    }
    setToken(token, TOK_END);
    if (m_diag == nullptr) {
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
    m_diag->reportError(kUnrecognizedToken, -1, -1, "", std::move(detail));
}
