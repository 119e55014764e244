#include "lsp/CLspCompletion.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/CVornOpcodeInfo.h"
#include "lexer/CVornLexer.h"
#include "lsp/CLspPositions.h"
#include "parser/CVornParser.h"

namespace {
using json = nlohmann::json;

// The protocol's completion item kinds.
constexpr int kFunctionItem = 3;
constexpr int kVariableItem = 6;
constexpr int kKeywordItem = 14;

// What may be typed at the cursor.
enum class Context {
    Nothing,         // in a comment, a preprocessor line, after a directive
    StatementStart,  // in a code section or before any: mnemonics, directives
    DataStart,       // at the start of a data word: labels, directives
    DataWord,        // inside a data word's expression: labels
    Registers,       // after a register-taking mnemonic or a comma
    JumpTarget,      // after a jump mnemonic: labels
};

struct DirectiveRow {
    std::string_view name;
    std::string_view detail;
};

constexpr DirectiveRow kDirectives[] = {
    {".text", "opens a code section"},
    {".data", "opens a data section"},
};

// The section a place of the document stands in, by the last directive before it.
enum class Section { None, Code, Data };

Section sectionAt(const std::vector<CLspToken>& tokens, std::size_t line, std::size_t column)
{
    Section section = Section::None;
    for (const CLspToken& token : tokens) {
        if (token.line > line || (token.line == line && token.column >= column)) {
            break;
        }
        if (token.kind == CLspToken::Directive) {
            section = token.id == TOK_DATA ? Section::Data : Section::Code;
        }
    }
    return section;
}

bool isWordByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return std::isalnum(byte) != 0 || c == '_' || c == '.';
}

// The start of the word the cursor stands at the end of (the cursor itself when none).
std::size_t wordStart(std::string_view line, std::size_t column)
{
    std::size_t start = std::min(column, line.size());
    while (start > 0 && isWordByte(line[start - 1])) {
        --start;
    }
    return start;
}

bool isLineComment(std::string_view text)
{
    return text.starts_with(";") || text.starts_with("//");
}

// Whether a comment of the line before `column` runs on to the cursor.
bool inComment(std::string_view line, const CLspToken& token, std::size_t column)
{
    const std::string_view text = line.substr(token.column, token.length);
    if (column < token.end() || isLineComment(text)) {
        return true;
    }
    // A block comment that does not close on its line goes on past the cursor
    // ("/*/" opens one and closes none).
    const bool closes = text.ends_with("*/") && !(text.starts_with("/*") && text.size() < 4);
    return !closes;
}

bool isComma(const CLspToken& token)
{
    return token.id == TOK_COMMA;
}

// Context of a statement after its label: the tokens before the word typed.
Context contextOf(const std::vector<const CLspToken*>& before, Section section)
{
    if (before.empty()) {
        return section == Section::Data ? Context::DataStart : Context::StatementStart;
    }
    const CLspToken& first = *before.front();
    const CLspToken& last = *before.back();
    if (first.kind == CLspToken::Directive) {
        return Context::Nothing;
    }
    if (first.kind == CLspToken::Mnemonic) {
        if (CVornOpcodeInfo::formOf(CLspTokens::statementIdOf(first.id)) == CVornOpcodeInfo::Jump) {
            return Context::JumpTarget;
        }
        return &first == &last || isComma(last) ? Context::Registers : Context::Nothing;
    }
    if (section == Section::Data) {
        return Context::DataWord;
    }
    return isComma(last) ? Context::Registers : Context::Nothing;
}

// The context at the cursor, from the tokens of its line before `start`.
Context contextAt(const CLspDocument& document, std::size_t line, std::size_t start, std::size_t column)
{
    const std::string_view text = document.lines.line(line);
    std::vector<const CLspToken*> before;
    for (const CLspToken* token : CLspTokens::onLine(document.tokens, line)) {
        if (token->column >= column || (token->column >= start && token->kind != CLspToken::Comment)) {
            break;
        }
        if (token->kind == CLspToken::Preprocessor || token->kind == CLspToken::Unknown) {
            return Context::Nothing;
        }
        if (token->kind == CLspToken::Comment) {
            if (inComment(text, *token, column)) {
                return Context::Nothing;
            }
            continue;
        }
        before.push_back(token);
    }
    // A label's definition opens the line: what follows it is a statement's start.
    if (before.size() >= 2 && before[0]->kind == CLspToken::Label && before[1]->id == TOK_COLON) {
        before.erase(before.begin(), before.begin() + 2);
    }
    return contextOf(before, sectionAt(document.tokens, line, column));
}

bool startsWithIgnoringCase(std::string_view name, std::string_view typed)
{
    return name.size() >= typed.size() && std::equal(typed.begin(), typed.end(), name.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// Whether `typed` may be the beginning of an abbreviation of `name`: its
// first letter first, the others in order (letter case aside).
bool matches(std::string_view typed, std::string_view name)
{
    const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    if (typed.empty()) {
        return true;
    }
    if (name.empty() || lower(typed.front()) != lower(name.front())) {
        return false;
    }
    std::size_t at = 1;
    for (std::size_t i = 1; i < typed.size(); ++i) {
        while (at < name.size() && lower(name[at]) != lower(typed[i])) {
            ++at;
        }
        if (at == name.size()) {
            return false;
        }
        ++at;
    }
    return true;
}

// Whether the user writes upper case: the word typed has letters, all capitals.
bool typesUpperCase(std::string_view typed)
{
    const bool letters = std::any_of(typed.begin(), typed.end(),
                                     [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
    return letters && std::none_of(typed.begin(), typed.end(),
                                   [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; });
}

std::string spelled(std::string_view name, bool upper)
{
    std::string text(name);
    if (upper) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    }
    return text;
}

// The bits of an instruction as the reference table writes them: the opcode,
// then the register fields ("000001 ddd aaa bbb") or the jump target.
std::string bitPattern(const CVornOpcodeInfo& table, std::int32_t statementId)
{
    const COpcodeDesc* desc = table.findOpcodeDesc(statementId);
    if (desc == nullptr || desc->m_encoding.size() != 15) {
        return {};
    }
    const std::string& encoding = desc->m_encoding;
    std::string text = encoding.substr(0, 6);
    if (desc->m_form == CVornOpcodeInfo::Jump) {
        return text + " iiiiiiiii";
    }
    constexpr std::string_view kSourceFields[] = {"aaa", "bbb"};
    std::size_t sources = 0;
    for (std::size_t field = 6; field < encoding.size(); field += 3) {
        const char kind = encoding[field];
        text += ' ';
        if (kind == 'D') {
            text += "ddd";
        } else if (kind == 'S') {
            text += kSourceFields[std::min<std::size_t>(sources++, 1)];
        } else {
            text += encoding.substr(field, 3);
        }
    }
    return text;
}

// Builds the items, each replacing the word typed.
class ItemList {
public:
    ItemList(const CLspDocument& document, std::size_t line, std::size_t start, std::size_t column)
        : m_range(CLspPositions::range(document.lines, line, start, column - start)),
          m_typed(document.lines.line(line).substr(start, column - start)),
          m_afterComma(start > 0 && document.lines.line(line)[start - 1] == ',')
    {
    }

    std::string_view typed() const { return m_typed; }

    void add(const std::string& label, int kind, const std::string& detail, const std::string& documentation, char rank)
    {
        if (!matches(m_typed, label)) {
            return;
        }
        // After a comma written without a blank, the operand gets one.
        const std::string text = m_afterComma ? " " + label : label;
        json item = {{"label", label},
                     {"kind", kind},
                     {"sortText", std::string(1, rank) + (startsWithIgnoringCase(label, m_typed) ? "0" : "1") + label},
                     {"filterText", label},
                     {"textEdit", {{"range", m_range}, {"newText", text}}}};
        if (!detail.empty()) {
            item["detail"] = detail;
        }
        if (!documentation.empty()) {
            item["documentation"] = documentation;
        }
        m_items.push_back(std::move(item));
    }

    json take() { return std::move(m_items); }

private:
    json m_range;
    std::string_view m_typed;
    bool m_afterComma;
    json m_items = json::array();
};

void addMnemonics(ItemList& items)
{
    const CVornOpcodeInfo table;
    const bool upper = typesUpperCase(items.typed());
    for (std::int32_t token = TOK_MOV; token <= TOK_ST; ++token) {
        const std::int32_t id = CLspTokens::statementIdOf(token);
        const std::string usage = CVornParser::usageOf(id);
        const std::string name = usage.substr(0, usage.find(' '));
        items.add(spelled(name, upper), kKeywordItem, usage, bitPattern(table, id), '1');
    }
}

void addDirectives(ItemList& items)
{
    for (const DirectiveRow& row : kDirectives) {
        items.add(std::string(row.name), kKeywordItem, std::string(row.detail), {}, '2');
    }
}

void addRegisters(ItemList& items)
{
    const bool lower = !items.typed().empty() && items.typed().front() == 'r';
    for (int number = 0; number <= TOK_R7 - TOK_R0; ++number) {
        items.add((lower ? "r" : "R") + std::to_string(number), kVariableItem, "register", {}, '1');
    }
}

// The labels the document defines (its own and its included files'), with
// their word addresses once the layout has placed them.
void addLabels(ItemList& items, const CLspDocument& document)
{
    if (document.analysis == nullptr) {
        return;
    }
    const CAssemblyResult& result = document.analysis->result;
    const bool placed = result.stage != CAssemblyResult::Stage::Parse;
    std::set<std::string> seen;
    for (const CSymbolInfo& symbol : result.symbols) {
        if (symbol.section == -1 || !seen.insert(symbol.name).second) {
            continue;
        }
        const std::string detail = placed ? "@" + std::to_string(symbol.value / 2) : "label";
        const std::string documentation = placed ? "word address " + std::to_string(symbol.value / 2) +
                                                       " (byte offset " + std::to_string(symbol.value) + ")"
                                                 : std::string();
        items.add(symbol.name, kFunctionItem, detail, documentation, '0');
    }
}
}  // namespace

// CompletionItem[]: what fits the context of the cursor, each replacing the word begun there
CLspCompletion::json CLspCompletion::completion(const CLspDocument& document, const json& params)
{
    const CLspPositions::Place place = CLspPositions::place(document, params);
    const std::size_t start = wordStart(document.lines.line(place.line), place.column);
    ItemList items(document, place.line, start, place.column);
    switch (contextAt(document, place.line, start, place.column)) {
    case Context::Nothing:
        break;
    case Context::StatementStart:
        addMnemonics(items);
        addDirectives(items);
        break;
    case Context::DataStart:
        addLabels(items, document);
        addDirectives(items);
        break;
    case Context::DataWord:
    case Context::JumpTarget:
        addLabels(items, document);
        break;
    case Context::Registers:
        addRegisters(items);
        break;
    }
    return items.take();
}
