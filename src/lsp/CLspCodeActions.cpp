#include "lsp/CLspCodeActions.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/CLspDiagnostics.h"
#include "lsp/CLspError.h"
#include "lsp/CLspText.h"
#include "lsp/CLspTokens.h"
#include "util/CSpelling.h"

namespace {
using json = nlohmann::json;

// How the core words a suggestion: "...; did you mean 'mov'?".
constexpr std::string_view kSuggestionStart = "; did you mean '";
constexpr std::string_view kSuggestionEnd = "'?";
// The message of a label used but never defined: "undefined label 'lop'".
constexpr std::string_view kUndefinedLabel = "undefined label '";
// The source the server's diagnostics name.
constexpr const char* kSource = "rozedov";

// A protocol position as a comparable pair.
struct Point {
    std::size_t line = 0;
    std::size_t character = 0;

    auto operator<=>(const Point&) const = default;
};

bool readPoint(const json& position, Point& point)
{
    if (!position.is_object() || !position.contains("line") || !position.contains("character") ||
        !position["line"].is_number_unsigned() || !position["character"].is_number_unsigned()) {
        return false;
    }
    point = {position["line"].get<std::size_t>(), position["character"].get<std::size_t>()};
    return true;
}

struct Span {
    Point start;
    Point end;
};

bool readSpan(const json& range, Span& span)
{
    return range.is_object() && range.contains("start") && range.contains("end") &&
           readPoint(range["start"], span.start) && readPoint(range["end"], span.end) && !(span.end < span.start);
}

bool intersects(const Span& a, const Span& b)
{
    return !(a.end < b.start) && !(b.end < a.start);
}

// The first quoted word of a message and the end of its closing quote; empty for none.
std::string quotedWord(std::string_view message, std::size_t& end)
{
    const std::size_t open = message.find('\'');
    const std::size_t close = open == std::string_view::npos ? open : message.find('\'', open + 1);
    if (close == std::string_view::npos) {
        return {};
    }
    end = close + 1;
    return std::string(message.substr(open + 1, close - open - 1));
}

// The word a diagnostic finds misspelt and the word it should be.
struct Fix {
    std::string wrong;
    std::string right;
};

std::vector<std::string> definedLabels(const CLspDocument& document)
{
    std::vector<std::string> names;
    if (document.analysis != nullptr) {
        for (const CSymbolInfo& symbol : document.analysis->result.symbols) {
            if (symbol.section != -1) {
                names.push_back(symbol.name);
            }
        }
    }
    return names;
}

// Whether `text` reads as one name or mnemonic, as a replacement must.
bool isOneWord(std::string_view text)
{
    const std::vector<CLspToken> tokens = CLspTokens::scan(text);
    return tokens.size() == 1 && tokens.front().length == text.size() &&
           (tokens.front().kind == CLspToken::Identifier || tokens.front().kind == CLspToken::Mnemonic);
}

// The fix a message names ("unknown instruction 'moc'; did you mean
// 'mov'?"), or for an undefined label without one, the closest label the
// document defines.
Fix fixOf(const CLspDocument& document, std::string_view message)
{
    message = message.substr(0, message.find('\n'));
    std::size_t end = 0;
    Fix fix{quotedWord(message, end), {}};
    if (fix.wrong.empty()) {
        return {};
    }
    const std::size_t suggestion = message.find(kSuggestionStart, end);
    if (suggestion != std::string_view::npos && message.ends_with(kSuggestionEnd)) {
        const std::size_t first = suggestion + kSuggestionStart.size();
        fix.right = std::string(message.substr(first, message.size() - kSuggestionEnd.size() - first));
    } else if (message.starts_with(kUndefinedLabel)) {
        fix.right = CSpelling::closest(fix.wrong, definedLabels(document));
    }
    return isOneWord(fix.right) && fix.right != fix.wrong ? fix : Fix{};
}

// Whether the diagnostic's range holds exactly `word` in the current text.
bool holds(const CLspDocument& document, const Span& span, std::string_view word)
{
    if (span.start.line != span.end.line || span.start.line >= document.lines.lineCount()) {
        return false;
    }
    const std::string_view line = document.lines.line(span.start.line);
    const std::size_t first = CLspText::byteColumn(line, span.start.character);
    const std::size_t last = CLspText::byteColumn(line, span.end.character);
    return CLspText::utf16Column(line, first) == span.start.character &&
           CLspText::utf16Column(line, last) == span.end.character && line.substr(first, last - first) == word;
}

// Whether a diagnostic the editor sends is the server's: another tool's
// are not ours to fix.
bool isOurs(const json& sent)
{
    if (!sent.is_object()) {
        return false;
    }
    const auto source = sent.find("source");
    return source == sent.end() || *source == kSource;
}

// The diagnostics to look at: the analysis's of the document itself, then
// those the editor sends that are not among them.
std::vector<json> candidates(const CLspDocument& document, const json& params)
{
    std::vector<json> list;
    if (document.analysis != nullptr) {
        for (const CDiagnostic& diagnostic : document.analysis->result.diagnostics) {
            if (diagnostic.pos.fileIndex == CLspAnalysis::kDocumentFile && diagnostic.pos.known()) {
                list.push_back(CLspDiagnostics::toJson(document, diagnostic));
            }
        }
    }
    const json& context = params.contains("context") ? params["context"] : json();
    if (context.is_object() && context.contains("diagnostics") && context["diagnostics"].is_array()) {
        const std::size_t own = list.size();
        for (const json& sent : context["diagnostics"]) {
            const bool known =
                std::any_of(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(own), [&](const json& item) {
                    return isOurs(sent) && item["range"] == sent.value("range", json()) &&
                           item["message"] == sent.value("message", json());
                });
            if (isOurs(sent) && !known) {
                list.push_back(sent);
            }
        }
    }
    return list;
}

json replacement(const CLspDocument& document, const json& diagnostic, const json& range, const Fix& fix)
{
    json edit = {{"range", range}, {"newText", fix.right}};
    return {{"title", "Replace '" + fix.wrong + "' with '" + fix.right + "'"},
            {"kind", "quickfix"},
            {"diagnostics", json::array({diagnostic})},
            {"isPreferred", true},
            {"edit", {{"changes", {{document.uri, json::array({edit})}}}}}};
}
}  // namespace

// CodeAction[]: a quick fix for each diagnostic in params.range that names a replacement
CLspCodeActions::json CLspCodeActions::codeActions(const CLspDocument& document, const json& params)
{
    Span wanted;
    if (!params.is_object() || !params.contains("range") || !readSpan(params["range"], wanted)) {
        throw CLspError(CLspError::kInvalidParams, "the request has no range");
    }
    json actions = json::array();
    for (const json& diagnostic : candidates(document, params)) {
        Span span;
        if (!diagnostic.is_object() || !diagnostic.contains("range") || !readSpan(diagnostic["range"], span) ||
            !intersects(span, wanted) || !diagnostic.contains("message") || !diagnostic["message"].is_string()) {
            continue;
        }
        const Fix fix = fixOf(document, diagnostic["message"].get<std::string>());
        if (!fix.right.empty() && holds(document, span, fix.wrong)) {
            actions.push_back(replacement(document, diagnostic, diagnostic["range"], fix));
        }
    }
    return actions;
}
