#include "lsp/CLspWords.h"

#include "core/CSection.h"
#include "util/NumberFormat.h"

std::string CLspWords::hex(std::uint32_t word)
{
    return NumberFormat::ToHex(word, 4);
}

bool CLspWords::isData(std::int32_t sectionKind)
{
    return sectionKind == CSection::Data || sectionKind == CSection::ReadOnlyData;
}

std::string_view CLspWords::directiveOf(std::int32_t sectionKind)
{
    return isData(sectionKind) ? ".data" : ".text";
}

const CSectionWords* CLspWords::sectionOf(const CAssemblyResult& result, const CSymbolInfo& symbol)
{
    if (result.stopped() || symbol.section < 0 || static_cast<std::size_t>(symbol.section) >= result.sections.size()) {
        return nullptr;
    }
    return &result.sections[static_cast<std::size_t>(symbol.section)];
}

const CSymbolInfo* CLspWords::symbolNamed(const CAssemblyResult& result, std::string_view name)
{
    for (const CSymbolInfo& symbol : result.symbols) {
        if (symbol.name == name) {
            return &symbol;
        }
    }
    return nullptr;
}

const CSymbolInfo* CLspWords::labelOf(const CLspDocument& document, const CLspToken* token)
{
    if (token == nullptr || document.analysis == nullptr ||
        (token->kind != CLspToken::Label && token->kind != CLspToken::Identifier)) {
        return nullptr;
    }
    return symbolNamed(document.analysis->result, token->text);
}

std::vector<CLspWords::Placed> CLspWords::onLine(const CAssemblyResult& result, std::size_t line)
{
    std::vector<Placed> words;
    for (const CSectionWords& section : result.sections) {
        for (const CWord& word : section.words) {
            if (word.pos.fileIndex == CLspAnalysis::kDocumentFile && word.pos.line > 0 &&
                static_cast<std::size_t>(word.pos.line - 1) == line) {
                words.push_back({&word, &section});
            }
        }
    }
    return words;
}
