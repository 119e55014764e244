#include "lsp/CLspFormatter.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/CVornLexer.h"
#include "lsp/CLspPositions.h"

namespace {
using json = nlohmann::json;
using Tokens = std::span<const CLspToken* const>;

// The columns of the layout, in characters: a label with its colon fills the
// first field, the mnemonic the second, the operands the third, and a
// comment begins after them. A part too long for its field is followed by
// one blank.
constexpr std::size_t kMnemonicColumn = 8;
constexpr std::size_t kOperandColumn = kMnemonicColumn + 6;
constexpr std::size_t kCommentColumn = kOperandColumn + 16;
// Tab stops of the text when the request gives none.
constexpr std::size_t kDefaultTabSize = 8;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view withoutTrailingBlanks(std::string_view line)
{
    while (!line.empty() && isBlank(line.back())) {
        line.remove_suffix(1);
    }
    return line;
}

// Whether a block comment is open at the end of `line`, given whether one
// was open at its start. Comments are found as the preprocessor finds them:
// ';' starts none, so a "/*" behind it opens one.
bool commentOpenAfter(std::string_view line, bool open)
{
    std::size_t at = 0;
    for (;;) {
        if (open) {
            const std::size_t close = line.find("*/", at);
            if (close == std::string_view::npos) {
                return true;
            }
            at = close + 2;
            open = false;
            continue;
        }
        const std::size_t slash = line.find('/', at);
        if (slash == std::string_view::npos || slash + 1 >= line.size()) {
            return false;
        }
        if (line[slash + 1] == '/') {
            return false;
        }
        open = line[slash + 1] == '*';
        at = slash + (open ? 2 : 1);
    }
}

// Lines the preprocessor reads otherwise than one by one: preprocessor
// lines, lines a block comment runs across, lines a backslash at the end
// joins to the next, and lines with a bare carriage return (a line break to
// the preprocessor).
void keepJoinedLines(const CLspText& lines, std::vector<bool>& kept)
{
    bool open = false;
    bool joined = false;
    for (std::size_t i = 0; i < lines.lineCount(); ++i) {
        const std::string_view line = lines.line(i);
        const std::size_t first = line.find_first_not_of(" \t");
        bool keep = open || joined || (first != std::string_view::npos && line[first] == '#') ||
                    line.find('\r') != std::string_view::npos;
        open = commentOpenAfter(line, open);
        const std::string_view trimmed = withoutTrailingBlanks(line);
        joined = !trimmed.empty() && trimmed.back() == '\\';
        kept[i] = keep || open || joined;
    }
}

void keepLines(std::vector<bool>& kept, std::size_t first, std::size_t last)
{
    for (std::size_t line = first; line <= last && line < kept.size(); ++line) {
        kept[line] = true;
    }
}

// Lines the arguments of a macro's call run across: from a name's "(" to
// its ")" on a later line, or to the end when none closes it.
void keepMacroCalls(const std::vector<CLspToken>& tokens, std::vector<bool>& kept)
{
    std::size_t depth = 0;
    std::size_t openedOn = 0;
    const CLspToken* previous = nullptr;
    for (const CLspToken& token : tokens) {
        if (token.kind == CLspToken::Comment) {
            continue;
        }
        if (depth > 0 && token.id == TOK_RPAREN && --depth == 0 && token.line != openedOn) {
            keepLines(kept, openedOn, token.line);
        } else if (token.id == TOK_LPAREN &&
                   (depth > 0 || (previous != nullptr && previous->kind == CLspToken::Identifier))) {
            openedOn = depth++ == 0 ? token.line : openedOn;
        }
        previous = &token;
    }
    if (depth > 0) {
        keepLines(kept, openedOn, kept.size());
    }
}

std::string_view textOf(std::string_view line, const CLspToken& token)
{
    return line.substr(token.column, token.length);
}

// Appends blanks up to `column`, or one blank when the text reaches it already.
void padTo(std::string& out, std::size_t column)
{
    out.append(out.size() < column ? column - out.size() : 1, ' ');
}

// The tokens as written, one blank wherever blanks separated two of them,
// none before a comma and one after it.
std::string joined(std::string_view line, Tokens tokens)
{
    std::string out;
    const CLspToken* previous = nullptr;
    for (const CLspToken* token : tokens) {
        if (previous != nullptr && token->id != TOK_COMMA &&
            (previous->id == TOK_COMMA || token->column > previous->end())) {
            out += ' ';
        }
        out += textOf(line, *token);
        previous = token;
    }
    return out;
}

// The width of the blanks a line begins with, tabs reaching the next stop.
std::size_t indentOf(std::string_view line, std::size_t tabSize)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < line.size() && isBlank(line[i]); ++i) {
        width = line[i] == '\t' ? (width / tabSize + 1) * tabSize : width + 1;
    }
    return width;
}

// A comment alone: at the start of the line when it was there, with the
// comments of the statements when it was that far in, else with the mnemonics.
std::string laidOutComment(std::string_view line, const CLspToken& comment, std::size_t tabSize)
{
    const std::size_t indent = indentOf(line, tabSize);
    std::string out(indent == 0 ? 0 : indent >= kCommentColumn ? kCommentColumn : kMnemonicColumn, ' ');
    return out += textOf(line, comment);
}

// statement = [label ":"] [directive ... | mnemonic operands | other ...] [comment]
std::string laidOut(std::string_view line, Tokens tokens, std::size_t tabSize)
{
    const CLspToken* comment = !tokens.empty() && tokens.back()->kind == CLspToken::Comment ? tokens.back() : nullptr;
    Tokens code = comment != nullptr ? tokens.first(tokens.size() - 1) : tokens;
    if (code.empty()) {
        return comment != nullptr ? laidOutComment(line, *comment, tabSize) : std::string();
    }
    std::string out;
    if (code.size() >= 2 && code[0]->kind == CLspToken::Label && code[1]->id == TOK_COLON) {
        out = std::string(textOf(line, *code[0])) + ":";
        code = code.subspan(2);
    }
    if (!code.empty() && code[0]->kind == CLspToken::Directive && out.empty()) {
        out = joined(line, code);
    } else if (!code.empty() && code[0]->kind == CLspToken::Mnemonic) {
        padTo(out, kMnemonicColumn);
        out += textOf(line, *code[0]);
        if (code.size() > 1) {
            padTo(out, kOperandColumn);
            out += joined(line, code.subspan(1));
        }
    } else if (!code.empty()) {
        padTo(out, kMnemonicColumn);
        out += joined(line, code);
    }
    if (comment != nullptr) {
        padTo(out, kCommentColumn);
        out += textOf(line, *comment);
    }
    return out;
}

// Whether the statement shapes of the layout fit the line: no stray bytes,
// one statement.
bool fitsLayout(Tokens tokens)
{
    for (const CLspToken* token : tokens) {
        if (token->kind == CLspToken::Unknown || token->id == TOK_SEPARATOR) {
            return false;
        }
    }
    return true;
}

// Whether two lines hold the same tokens, spelled the same, in the same order.
bool sameTokens(std::string_view before, std::string_view after)
{
    const std::vector<CLspToken> old = CLspTokens::scan(before);
    const std::vector<CLspToken> now = CLspTokens::scan(after);
    if (old.size() != now.size()) {
        return false;
    }
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (old[i].kind != now[i].kind || old[i].id != now[i].id || textOf(before, old[i]) != textOf(after, now[i])) {
            return false;
        }
    }
    return true;
}

std::size_t tabSizeOf(const json& params)
{
    const json* options = params.is_object() && params.contains("options") ? &params["options"] : nullptr;
    if (options != nullptr && options->is_object() && options->contains("tabSize") &&
        (*options)["tabSize"].is_number_unsigned() && (*options)["tabSize"].get<std::size_t>() > 0) {
        return (*options)["tabSize"].get<std::size_t>();
    }
    return kDefaultTabSize;
}
}  // namespace

// TextEdit[]: one edit for each line the layout changes
CLspFormatter::json CLspFormatter::formatting(const CLspDocument& document, const json& params)
{
    const std::size_t tabSize = tabSizeOf(params);
    std::vector<bool> kept(document.lines.lineCount(), false);
    keepJoinedLines(document.lines, kept);
    keepMacroCalls(document.tokens, kept);
    json edits = json::array();
    for (std::size_t number = 0; number < document.lines.lineCount(); ++number) {
        if (kept[number]) {
            continue;
        }
        const std::string_view line = document.lines.line(number);
        const std::vector<const CLspToken*> tokens = CLspTokens::onLine(document.tokens, number);
        const std::string text =
            fitsLayout(tokens) ? laidOut(line, tokens, tabSize) : std::string(withoutTrailingBlanks(line));
        if (text != line && sameTokens(line, text)) {
            edits.push_back(
                {{"range", CLspPositions::range(document.lines, number, 0, line.size())}, {"newText", text}});
        }
    }
    return edits;
}
