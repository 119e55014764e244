#include "lsp/CLspNavigation.h"

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "driver/CPathName.h"
#include "lexer/CVornLexer.h"
#include "lsp/CLspError.h"
#include "lsp/CLspPositions.h"
#include "lsp/CLspWords.h"

namespace {
using json = nlohmann::json;

// The protocol's symbol kinds the outline uses.
constexpr int kSectionSymbol = 3;    // Namespace
constexpr int kCodeLabelSymbol = 12;  // Function
constexpr int kDataLabelSymbol = 13;  // Variable

// Names a label may not take, by what the lexer reads them as.
struct ReservedKind {
    CLspToken::Kind kind;
    const char* what;
};
constexpr ReservedKind kReservedKinds[] = {
    {CLspToken::Mnemonic, "an instruction"},
    {CLspToken::Register, "a register"},
    {CLspToken::Directive, "a directive"},
};

// The label under the cursor and the token that names it.
struct Target {
    const CSymbolInfo* symbol = nullptr;
    const CLspToken* token = nullptr;
};

Target targetAt(const CLspDocument& document, const json& params)
{
    const CLspPositions::Place place = CLspPositions::place(document, params);
    const CLspToken* token = CLspTokens::at(document.tokens, place.line, place.column);
    return {CLspWords::labelOf(document, token), token};
}

bool isPlaced(const CSourcePos& pos)
{
    return pos.known() && pos.line > 0;
}

// A label's places, each once: its definition (when asked for and known), then its uses.
std::vector<CSourcePos> placesOf(const CSymbolInfo& symbol, bool withDefinition)
{
    std::vector<CSourcePos> places;
    if (withDefinition && isPlaced(symbol.definition)) {
        places.push_back(symbol.definition);
    }
    for (const CSourcePos& use : symbol.uses) {
        if (isPlaced(use) && std::find(places.begin(), places.end(), use) == places.end()) {
            places.push_back(use);
        }
    }
    return places;
}

// The lines of the files an analysis names, each made once.
class FileLines {
public:
    explicit FileLines(const CLspDocument& document) : m_document(document) {}

    // Null when the file's text is not known.
    const CLspText* of(int fileIndex)
    {
        if (fileIndex == CLspAnalysis::kDocumentFile) {
            return &m_document.lines;
        }
        if (const auto found = m_lines.find(fileIndex); found != m_lines.end()) {
            return &found->second;
        }
        const std::string* text = m_document.analysis->textOf(fileIndex);
        return text != nullptr ? &m_lines.emplace(fileIndex, CLspText(*text)).first->second : nullptr;
    }

private:
    const CLspDocument& m_document;
    std::map<int, CLspText> m_lines;
};

[[noreturn]] void refuse(const std::string& message)
{
    throw CLspError(CLspError::kRequestFailed, message);
}

// Why `name` cannot be a label's new name; empty when it can.
std::string refusalOf(const CAssemblyResult& result, const std::string& name)
{
    const std::vector<CLspToken> tokens = CLspTokens::scan(name);
    for (const ReservedKind& reserved : kReservedKinds) {
        if (tokens.size() == 1 && tokens.front().kind == reserved.kind && tokens.front().length == name.size()) {
            return "'" + name + "' is " + reserved.what + ", so it cannot name a label";
        }
    }
    if (!CLspTokens::isLabelName(name)) {
        return "'" + name + "' cannot name a label: a label is made of letters, digits, '_' and '.', "
               "and does not begin with a digit";
    }
    if (CLspWords::symbolNamed(result, name) != nullptr) {
        return "there is a label '" + name + "' already";
    }
    return {};
}

// One text edit of a rename, placed by file and byte column.
struct Edit {
    int fileIndex = 0;
    std::size_t line = 0;  // 0-based
    std::size_t column = 0;
    std::size_t length = 0;

    bool operator<(const Edit& other) const
    {
        return std::tie(fileIndex, line, column) < std::tie(other.fileIndex, other.line, other.column);
    }
    bool operator==(const Edit& other) const
    {
        return std::tie(fileIndex, line, column) == std::tie(other.fileIndex, other.line, other.column);
    }
};

// Where the label's name is written inside one of its places. A use that a
// macro made is placed at the macro's use, which need not spell the name.
std::vector<Edit> editsAt(const CSourcePos& pos, const std::string& name, const CLspText& lines)
{
    const auto line = static_cast<std::size_t>(pos.line - 1);
    const std::string_view text = lines.line(line);
    const std::size_t start = pos.column > 0 ? std::min(static_cast<std::size_t>(pos.column - 1), text.size()) : 0;
    const std::string_view span =
        pos.column > 0 ? text.substr(start, static_cast<std::size_t>(std::max(pos.length, 0))) : text;
    std::vector<Edit> edits;
    for (const CLspToken& token : CLspTokens::scan(span)) {
        if (token.line == 0 && (token.kind == CLspToken::Identifier || token.kind == CLspToken::Label) &&
            token.text == name) {
            edits.push_back({pos.fileIndex, line, start + token.column, token.length});
        }
    }
    return edits;
}

std::string fileName(const CAssemblyResult& result, int fileIndex)
{
    const auto file = static_cast<std::size_t>(fileIndex);
    return fileIndex >= 0 && file < result.files.size() ? result.files[file] : std::string("?");
}

std::string placeName(const CAssemblyResult& result, const CSourcePos& pos)
{
    return fileName(result, pos.fileIndex) + ":" + std::to_string(pos.line);
}

// Every place the label's name is written, or a refusal where one of its
// places does not spell it (a macro's text would keep the old name).
std::vector<Edit> renameEdits(const CLspDocument& document, const CSymbolInfo& symbol, FileLines& files)
{
    const CAssemblyResult& result = document.analysis->result;
    std::vector<Edit> edits;
    for (const CSourcePos& pos : placesOf(symbol, true)) {
        const CLspText* lines = files.of(pos.fileIndex);
        const std::vector<Edit> here = lines != nullptr && !document.analysis->uriOf(pos.fileIndex).empty()
                                           ? editsAt(pos, symbol.name, *lines)
                                           : std::vector<Edit>();
        if (here.empty()) {
            refuse("cannot rename '" + symbol.name + "': its use at " + placeName(result, pos) +
                   " comes from a macro (or a file the editor cannot change) whose text would keep the old "
                   "name; rename it by hand");
        }
        edits.insert(edits.end(), here.begin(), here.end());
    }
    std::sort(edits.begin(), edits.end());
    edits.erase(std::unique(edits.begin(), edits.end()), edits.end());
    return edits;
}

// --- The outline ---

// A section of the outline: its directive in the document and its words when known.
struct Section {
    const CLspToken* directive = nullptr;
    const CSectionWords* words = nullptr;
    std::size_t lastLine = 0;  // 0-based, the line before the next directive
    json node;
};

bool isDataDirective(const CLspToken& directive)
{
    return directive.id == TOK_DATA;
}

bool madeInDocument(const CSourcePos& pos)
{
    return pos.fileIndex == CLspAnalysis::kDocumentFile && pos.known();
}

// A section that holds words or labels, none of them the document's: one an included file opened.
bool isIncluded(const CAssemblyResult& result, std::size_t index, const CSectionWords& section)
{
    bool any = !section.words.empty();
    for (const CWord& word : section.words) {
        if (madeInDocument(word.pos)) {
            return false;
        }
    }
    for (const CSymbolInfo& symbol : result.symbols) {
        if (symbol.section == static_cast<int>(index) && symbol.definition.known()) {
            any = true;
            if (madeInDocument(symbol.definition)) {
                return false;
            }
        }
    }
    return any;
}

// The sections of the result by index, each paired with the document's
// directive that opened it (in order; a section an included file opened
// has none). A run that stopped made no sections: each directive stands for one.
std::vector<Section> sectionsOf(const CLspDocument& document)
{
    std::vector<const CLspToken*> directives;
    for (const CLspToken& token : document.tokens) {
        if (token.kind == CLspToken::Directive) {
            directives.push_back(&token);
        }
    }
    const CAssemblyResult& result = document.analysis->result;
    // A section runs from its directive to the line before the next one.
    const auto lastLineOf = [&](std::size_t d) {
        const std::size_t end = d + 1 < directives.size() ? directives[d + 1]->line : document.lines.lineCount();
        return std::max(directives[d]->line, end > 0 ? end - 1 : 0);
    };
    std::vector<Section> sections;
    if (result.stopped()) {
        for (std::size_t d = 0; d < directives.size(); ++d) {
            sections.push_back({directives[d], nullptr, lastLineOf(d), nullptr});
        }
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < result.sections.size(); ++i) {
        const CSectionWords& words = result.sections[i];
        Section& section = sections.emplace_back(Section{nullptr, &words, 0, nullptr});
        if (next < directives.size() && !isIncluded(result, i, words) &&
            isDataDirective(*directives[next]) == CLspWords::isData(words.kind)) {
            section.lastLine = lastLineOf(next);
            section.directive = directives[next++];
        }
    }
    return sections;
}

json lineEndRange(const CLspText& lines, std::size_t line, std::size_t column, std::size_t lastLine)
{
    return {{"start", CLspPositions::position(lines, line, column)},
            {"end", CLspPositions::position(lines, lastLine, lines.line(lastLine).size())}};
}

std::string wordCount(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " word" : " words");
}

json sectionNode(const CLspDocument& document, const Section& section)
{
    const CLspToken& directive = *section.directive;
    const std::string detail = section.words != nullptr
                                   ? section.words->name + ", " + wordCount(section.words->words.size())
                                   : std::string("no words: the assembly stopped at an error");
    return {{"name", directive.text},
            {"detail", detail},
            {"kind", kSectionSymbol},
            {"range", lineEndRange(document.lines, directive.line, directive.column, section.lastLine)},
            {"selectionRange", CLspPositions::range(document, directive)},
            {"children", json::array()}};
}

// Whether a label defined in the document lies inside a section's lines.
bool holds(const Section& section, const CSourcePos& definition)
{
    const auto line = static_cast<std::size_t>(definition.line - 1);
    const CLspToken& directive = *section.directive;
    return line <= section.lastLine &&
           (line > directive.line ||
            (line == directive.line && static_cast<std::size_t>(definition.column - 1) >= directive.end()));
}

// The line of the document's #include that names a file (by its last
// part); the first line where none does.
std::size_t includeLineOf(const CLspDocument& document, const std::string& file)
{
    const std::string base = CPathName::baseName(file);
    for (const CLspToken& token : document.tokens) {
        const std::string_view text = document.lines.line(token.line).substr(token.column, token.length);
        if (token.kind == CLspToken::Preprocessor && text.find("include") != std::string_view::npos &&
            text.find(base) != std::string_view::npos) {
            return token.line;
        }
    }
    return 0;
}

json labelNode(const CLspDocument& document, const CSymbolInfo& symbol, const Section* section)
{
    const CAssemblyResult& result = document.analysis->result;
    const CSectionWords* words = CLspWords::sectionOf(result, symbol);
    const bool data = words != nullptr ? CLspWords::isData(words->kind)
                                       : section != nullptr && isDataDirective(*section->directive);
    std::string detail = words != nullptr ? "@" + std::to_string(CLspWords::wordAddress(symbol)) : std::string();
    json range;
    json selection;
    if (madeInDocument(symbol.definition)) {
        selection = CLspPositions::range(&document.lines, symbol.definition);
        const auto line = static_cast<std::size_t>(symbol.definition.line - 1);
        const auto column = static_cast<std::size_t>(std::max(symbol.definition.column - 1, 0));
        range = lineEndRange(document.lines, line, column, line);
    } else {
        const std::string file = fileName(result, symbol.definition.fileIndex);
        detail += (detail.empty() ? "" : ", ") + std::string("in ") + file;
        const std::size_t line = includeLineOf(document, file);
        range = lineEndRange(document.lines, line, 0, line);
        selection = range;
    }
    return {{"name", symbol.name},
            {"detail", detail},
            {"kind", data ? kDataLabelSymbol : kCodeLabelSymbol},
            {"range", range},
            {"selectionRange", selection}};
}

int startLine(const json& node)
{
    return node["range"]["start"]["line"].get<int>();
}

void sortByLine(json& nodes)
{
    std::stable_sort(nodes.begin(), nodes.end(),
                     [](const json& a, const json& b) { return startLine(a) < startLine(b); });
}
}  // namespace

CLspNavigation::json CLspNavigation::definition(const CLspDocument& document, const json& params)
{
    const Target target = targetAt(document, params);
    if (target.symbol == nullptr || !target.symbol->definition.known()) {
        return nullptr;
    }
    return CLspPositions::location(document, target.symbol->definition);
}

CLspNavigation::json CLspNavigation::references(const CLspDocument& document, const json& params)
{
    const Target target = targetAt(document, params);
    if (target.symbol == nullptr) {
        return nullptr;
    }
    const json context = params.value("context", json::object());
    const bool withDefinition =
        context.is_object() && context.contains("includeDeclaration") && context["includeDeclaration"] == true;
    json locations = json::array();
    for (const CSourcePos& pos : placesOf(*target.symbol, withDefinition)) {
        json location = CLspPositions::location(document, pos);
        if (!location.is_null()) {
            locations.push_back(std::move(location));
        }
    }
    return locations;
}

CLspNavigation::json CLspNavigation::prepareRename(const CLspDocument& document, const json& params)
{
    const Target target = targetAt(document, params);
    if (target.symbol == nullptr) {
        return nullptr;
    }
    FileLines files(document);
    renameEdits(document, *target.symbol, files);
    return {{"range", CLspPositions::range(document, *target.token)}, {"placeholder", target.symbol->name}};
}

CLspNavigation::json CLspNavigation::rename(const CLspDocument& document, const json& params)
{
    if (!params.is_object() || !params.contains("newName") || !params["newName"].is_string()) {
        throw CLspError(CLspError::kInvalidParams, "the request has no new name");
    }
    const std::string newName = params["newName"].get<std::string>();
    const Target target = targetAt(document, params);
    if (target.symbol == nullptr) {
        refuse("there is no label here to rename");
    }
    if (newName != target.symbol->name) {
        if (const std::string refusal = refusalOf(document.analysis->result, newName); !refusal.empty()) {
            refuse(refusal);
        }
    }
    FileLines files(document);
    json changes = json::object();
    for (const Edit& edit : renameEdits(document, *target.symbol, files)) {
        const std::string uri = document.analysis->uriOf(edit.fileIndex);
        changes[uri].push_back(
            {{"range", CLspPositions::range(*files.of(edit.fileIndex), edit.line, edit.column, edit.length)},
             {"newText", newName}});
    }
    return {{"changes", changes}};
}

// Sections with their labels; labels of other files or of no section at the top.
CLspNavigation::json CLspNavigation::documentSymbols(const CLspDocument& document, const json& /*params*/)
{
    json top = json::array();
    if (document.analysis == nullptr) {
        return top;
    }
    std::vector<Section> sections = sectionsOf(document);
    for (Section& section : sections) {
        if (section.directive != nullptr) {
            section.node = sectionNode(document, section);
        }
    }
    for (const CSymbolInfo& symbol : document.analysis->result.symbols) {
        if (!isPlaced(symbol.definition)) {
            continue;
        }
        Section* section = symbol.section >= 0 && static_cast<std::size_t>(symbol.section) < sections.size()
                               ? &sections[static_cast<std::size_t>(symbol.section)]
                               : nullptr;
        if (section != nullptr && section->directive == nullptr) {
            section = nullptr;
        }
        const bool inside =
            section != nullptr && madeInDocument(symbol.definition) && holds(*section, symbol.definition);
        json node = labelNode(document, symbol, section);
        (inside ? section->node["children"] : top).push_back(std::move(node));
    }
    for (Section& section : sections) {
        if (section.directive != nullptr) {
            sortByLine(section.node["children"]);
            top.push_back(std::move(section.node));
        }
    }
    sortByLine(top);
    return top;
}
