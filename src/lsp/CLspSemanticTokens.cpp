#include "lsp/CLspSemanticTokens.h"

#include <cctype>
#include <set>
#include <string>
#include <string_view>

#include "driver/CFileReader.h"
#include "driver/CPathName.h"
#include "lexer/CVornLexer.h"
#include "lsp/CLspText.h"

namespace {
using json = nlohmann::json;

// The token types, by the index full() sends, named as the protocol's
// standard types so that every editor theme colours them:
//   keyword   mnemonics, directives and "__NEW_LINE__"
//   variable  registers R0 to R7
//   function  labels: their definitions (with the modifier "declaration")
//             and their uses
//   number    decimal and hexadecimal numbers
//   comment   comments, one token per line
//   macro     preprocessor lines, and names a #define of the document or of
//             a file it includes gives (the preprocessor replaces them)
//   operator  ':', ',' and the operators of expressions
// Bytes no token begins with are left uncoloured.
enum TokenType : int { kKeyword, kVariable, kFunction, kNumber, kComment, kMacro, kOperator, kNoType };
constexpr std::string_view kTypeNames[] = {"keyword", "variable", "function", "number", "comment", "macro", "operator"};
static_assert(std::size(kTypeNames) == kNoType);

// The token modifiers, by bit.
constexpr std::string_view kModifierNames[] = {"declaration"};
constexpr unsigned kDeclaration = 1U << 0;

bool isNameStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool isNamePart(char c)
{
    return isNameStart(c) || std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The name a "#define NAME ..." line defines; empty for any other line.
std::string_view definedName(std::string_view line)
{
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || line[at] != '#') {
        return {};
    }
    at = line.find_first_not_of(" \t", at + 1);
    constexpr std::string_view kDefine = "define";
    if (at == std::string_view::npos || line.substr(at, kDefine.size()) != kDefine) {
        return {};
    }
    at += kDefine.size();
    const std::size_t start = line.find_first_not_of(" \t", at);
    if (start == at || start == std::string_view::npos || !isNameStart(line[start])) {
        return {};
    }
    std::size_t end = start;
    while (end < line.size() && isNamePart(line[end])) {
        ++end;
    }
    return line.substr(start, end - start);
}

void addMacrosOf(std::string_view text, std::set<std::string, std::less<>>& names)
{
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        if (const std::string_view name = definedName(text.substr(0, end)); !name.empty()) {
            names.emplace(name);
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

// The text of a file the document includes: the analysis keeps those that
// give the assembler lines; one of definitions only is read again.
bool includedText(const CLspAnalysis& analysis, int fileIndex, std::string& text)
{
    if (const std::string* kept = analysis.textOf(fileIndex)) {
        text = *kept;
        return true;
    }
    const std::string& name = analysis.result.files[static_cast<std::size_t>(fileIndex)];
    if (name.empty() || name.front() == '<') {
        return false;
    }
    std::error_code error;
    return CFileReader::read(name.front() == '/' ? name : CPathName::join(analysis.folder, name), text, error);
}

// The names the document and the files it includes #define.
std::set<std::string, std::less<>> macrosOf(const CLspDocument& document)
{
    std::set<std::string, std::less<>> names;
    addMacrosOf(document.text, names);
    if (document.analysis == nullptr) {
        return names;
    }
    const CLspAnalysis& analysis = *document.analysis;
    for (std::size_t file = 0; file < analysis.result.files.size(); ++file) {
        std::string text;
        if (static_cast<int>(file) != CLspAnalysis::kDocumentFile &&
            includedText(analysis, static_cast<int>(file), text)) {
            addMacrosOf(text, names);
        }
    }
    return names;
}

struct Colour {
    TokenType type = kNoType;
    unsigned modifiers = 0;
};

Colour colourOf(const CLspToken& token, std::string_view text, const std::set<std::string, std::less<>>& macros)
{
    switch (token.kind) {
    case CLspToken::Mnemonic:
    case CLspToken::Directive:
        return {kKeyword};
    case CLspToken::Register:
        return {kVariable};
    case CLspToken::Label:
        return {kFunction, kDeclaration};
    case CLspToken::Identifier:
        return {macros.contains(text) ? kMacro : kFunction};
    case CLspToken::Number:
        return {kNumber};
    case CLspToken::Operator:
        return {token.id == TOK_SEPARATOR ? kKeyword : kOperator};
    case CLspToken::Comment:
        return {kComment};
    case CLspToken::Preprocessor:
        return {kMacro};
    case CLspToken::Unknown:
        break;
    }
    return {};
}
}  // namespace

CLspSemanticTokens::json CLspSemanticTokens::legend()
{
    json types = json::array();
    for (const std::string_view name : kTypeNames) {
        types.push_back(name);
    }
    json modifiers = json::array();
    for (const std::string_view name : kModifierNames) {
        modifiers.push_back(name);
    }
    return {{"tokenTypes", types}, {"tokenModifiers", modifiers}};
}

// data = (deltaLine deltaStart length type modifiers)*, in UTF-16 units
CLspSemanticTokens::json CLspSemanticTokens::full(const CLspDocument& document, const json& /*params*/)
{
    const std::set<std::string, std::less<>> macros = macrosOf(document);
    json data = json::array();
    std::size_t lastLine = 0;
    std::size_t lastStart = 0;
    for (const CLspToken& token : document.tokens) {
        const std::string_view line = document.lines.line(token.line);
        const std::string_view text = line.substr(std::min(token.column, line.size()), token.length);
        const Colour colour = colourOf(token, text, macros);
        const std::size_t start = CLspText::utf16Column(line, token.column);
        const std::size_t length = CLspText::utf16Column(line, token.end()) - start;
        if (colour.type == kNoType || length == 0) {
            continue;
        }
        const std::size_t deltaLine = token.line - lastLine;
        data.push_back(deltaLine);
        data.push_back(deltaLine == 0 ? start - lastStart : start);
        data.push_back(length);
        data.push_back(static_cast<int>(colour.type));
        data.push_back(colour.modifiers);
        lastLine = token.line;
        lastStart = start;
    }
    return {{"data", std::move(data)}};
}
