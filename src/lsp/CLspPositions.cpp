#include "lsp/CLspPositions.h"

#include "lsp/CLspError.h"
#include "lsp/CLspText.h"

namespace CLspPositions {

json position(const CLspText& lines, std::size_t line, std::size_t byteColumn)
{
    return {{"line", line}, {"character", CLspText::utf16Column(lines.line(line), byteColumn)}};
}

json range(const CLspText& lines, std::size_t line, std::size_t byteColumn, std::size_t length)
{
    return {{"start", position(lines, line, byteColumn)}, {"end", position(lines, line, byteColumn + length)}};
}

json range(const CLspText* lines, const CSourcePos& pos)
{
    const std::size_t line = pos.line > 0 ? static_cast<std::size_t>(pos.line - 1) : 0;
    const std::size_t column = pos.column > 0 ? static_cast<std::size_t>(pos.column - 1) : 0;
    std::size_t length = pos.column > 0 ? static_cast<std::size_t>(std::max(pos.length, 1)) : 0;
    if (lines == nullptr) {
        return {{"start", {{"line", line}, {"character", column}}},
                {"end", {{"line", line}, {"character", column + length}}}};
    }
    if (pos.column <= 0) {
        length = lines->line(line).size();
    }
    return range(*lines, line, column, length);
}

json location(const CLspDocument& document, const CSourcePos& pos)
{
    const CLspAnalysis* analysis = document.analysis.get();
    const std::string uri = analysis != nullptr ? analysis->uriOf(pos.fileIndex) : std::string();
    if (uri.empty() || !pos.known()) {
        return nullptr;
    }
    if (pos.fileIndex == CLspAnalysis::kDocumentFile) {
        return {{"uri", uri}, {"range", range(&document.lines, pos)}};
    }
    const std::string* text = analysis->textOf(pos.fileIndex);
    const CLspText lines(text != nullptr ? std::string_view(*text) : std::string_view());
    return {{"uri", uri}, {"range", range(text != nullptr ? &lines : nullptr, pos)}};
}

json range(const CLspDocument& document, const CLspToken& token)
{
    return range(document.lines, token.line, token.column, token.length);
}

Place place(const CLspDocument& document, const json& params)
{
    const json* position = params.is_object() && params.contains("position") ? &params["position"] : nullptr;
    if (position == nullptr || !position->is_object() || !position->contains("line") ||
        !position->contains("character") || !(*position)["line"].is_number_unsigned() ||
        !(*position)["character"].is_number_unsigned()) {
        throw CLspError(CLspError::kInvalidParams, "the request has no position");
    }
    const auto line = (*position)["line"].get<std::size_t>();
    const auto character = (*position)["character"].get<std::size_t>();
    return {line, CLspText::byteColumn(document.lines.line(line), character)};
}

}  // namespace CLspPositions
