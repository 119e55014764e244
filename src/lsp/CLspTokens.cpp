#include "lsp/CLspTokens.h"

#include <algorithm>

#include "core/CVornOpcodeInfo.h"
#include "lexer/CVornLexer.h"
#include "util/CFileBuffer.h"

namespace {
CLspToken::Kind kindOf(std::int32_t id)
{
    if (isMnemonicToken(id)) {
        return CLspToken::Mnemonic;
    }
    if (isRegisterToken(id)) {
        return CLspToken::Register;
    }
    switch (id) {
    case TOK_TEXT:
    case TOK_DATA:
        return CLspToken::Directive;
    case TOK_IDENTIFIER:
        return CLspToken::Identifier;
    case TOK_DEC_NUMBER:
    case TOK_HEX_NUMBER:
        return CLspToken::Number;
    case TOK_NONE:
        return CLspToken::Unknown;
    default:
        return CLspToken::Operator;
    }
}

// Where an offset of the text stands: line and column.
class LineCounter {
public:
    explicit LineCounter(std::string_view text) : m_text(text) {}

    // Moves forward to `offset` (offsets only grow).
    void moveTo(std::size_t offset)
    {
        for (; m_offset < offset && m_offset < m_text.size(); ++m_offset) {
            if (m_text[m_offset] == '\n') {
                ++m_line;
                m_lineStart = m_offset + 1;
            }
        }
    }
    std::size_t line() const { return m_line; }
    std::size_t column() const { return m_offset - m_lineStart; }

private:
    std::string_view m_text;
    std::size_t m_offset = 0;
    std::size_t m_line = 0;
    std::size_t m_lineStart = 0;
};

// A piece of text that is no token: its part on each line.
void addPerLine(std::vector<CLspToken>& tokens, CLspToken::Kind kind, std::string_view text, std::size_t offset,
                std::size_t length, LineCounter& counter)
{
    std::size_t start = offset;
    const std::size_t end = std::min(offset + length, text.size());
    while (start < end) {
        std::size_t stop = text.find('\n', start);
        stop = stop == std::string_view::npos || stop > end ? end : stop;
        std::size_t last = stop;
        while (last > start && (text[last - 1] == '\r' || text[last - 1] == ' ' || text[last - 1] == '\t')) {
            --last;
        }
        if (last > start) {
            counter.moveTo(start);
            tokens.push_back({kind, counter.line(), counter.column(), last - start, 0, {}});
        }
        start = stop + 1;
    }
}

bool startsDirectiveLine(std::string_view text, std::size_t offset)
{
    // Only a '#' can start one: the look back to the line's start is for those.
    if (offset >= text.size() || text[offset] != '#') {
        return false;
    }
    std::size_t lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    lineStart = lineStart == std::string_view::npos || offset == 0 ? 0 : lineStart + 1;
    for (std::size_t i = lineStart; i < offset; ++i) {
        if (text[i] != ' ' && text[i] != '\t') {
            return false;
        }
    }
    return true;
}

// The end of a preprocessor line, continuation lines included.
std::size_t directiveEnd(std::string_view text, std::size_t offset)
{
    for (;;) {
        std::size_t end = text.find('\n', offset);
        if (end == std::string_view::npos) {
            return text.size();
        }
        std::size_t last = end;
        if (last > offset && text[last - 1] == '\r') {
            --last;
        }
        if (last == offset || text[last - 1] != '\\') {
            return end;
        }
        offset = end + 1;
    }
}

// Marks identifiers followed by ':' as label definitions.
void markLabels(std::vector<CLspToken>& tokens)
{
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].kind == CLspToken::Identifier && tokens[i + 1].id == TOK_COLON &&
            tokens[i + 1].line == tokens[i].line) {
            tokens[i].kind = CLspToken::Label;
        }
    }
}
}  // namespace

// document = (preprocessor-line | token | comment | NEWLINE)*
std::vector<CLspToken> CLspTokens::scan(std::string_view text)
{
    std::vector<CLspToken> tokens;
    CVornLexer lexer;
    // A byte no token starts with is a token of its own, and the scan goes on.
    lexer.m_tolerant = true;
    CFileBuffer buffer(text);
    lexer.start(&buffer);
    LineCounter counter(text);
    for (;;) {
        std::size_t blank = buffer.m_pos;
        while (blank < text.size() && (text[blank] == ' ' || text[blank] == '\t' || text[blank] == '\r')) {
            ++blank;
        }
        if (startsDirectiveLine(text, blank)) {
            const std::size_t end = directiveEnd(text, blank);
            addPerLine(tokens, CLspToken::Preprocessor, text, blank, end - blank, counter);
            buffer.m_pos = end;
            continue;
        }
        CToken token;
        lexer.scanToken(token);
        if (token.m_id == TOK_END && token.m_length == 0) {
            break;
        }
        if (token.m_id == TOK_COMMENT || token.m_id == TOK_NEWLINE || token.m_id == TOK_END) {
            // A line comment ends with the newline the lexer returns for it.
            addPerLine(tokens, CLspToken::Comment, text, token.m_offset, token.m_length, counter);
            if (token.m_id == TOK_END) {
                break;
            }
            continue;
        }
        counter.moveTo(token.m_offset);
        tokens.push_back({kindOf(token.m_id), counter.line(), counter.column(), token.m_length, token.m_id,
                          std::move(token.m_text)});
    }
    markLabels(tokens);
    return tokens;
}

const CLspToken* CLspTokens::at(const std::vector<CLspToken>& tokens, std::size_t line, std::size_t column)
{
    const auto first = std::lower_bound(tokens.begin(), tokens.end(), line,
                                        [](const CLspToken& token, std::size_t wanted) { return token.line < wanted; });
    const CLspToken* found = nullptr;
    for (auto token = first; token != tokens.end() && token->line == line; ++token) {
        if (token->column <= column && column < token->end()) {
            return &*token;
        }
        if (token->end() == column && token->kind != CLspToken::Comment) {
            found = &*token;
        }
    }
    return found;
}

std::vector<const CLspToken*> CLspTokens::onLine(const std::vector<CLspToken>& tokens, std::size_t line)
{
    std::vector<const CLspToken*> result;
    auto token = std::lower_bound(tokens.begin(), tokens.end(), line,
                                  [](const CLspToken& each, std::size_t wanted) { return each.line < wanted; });
    for (; token != tokens.end() && token->line == line; ++token) {
        result.push_back(&*token);
    }
    return result;
}

bool CLspTokens::isLabelName(std::string_view name)
{
    const std::vector<CLspToken> tokens = scan(name);
    return tokens.size() == 1 && tokens.front().kind == CLspToken::Identifier && tokens.front().length == name.size();
}

std::int32_t CLspTokens::statementIdOf(std::int32_t mnemonicId)
{
    return mnemonicId - TOK_MOV + CVornOpcodeInfo::kDataWordId + 1;
}
