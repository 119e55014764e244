#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/CAssemblyResult.h"
#include "lsp/CLspDocument.h"

// The assembled words and labels of a document's analysis as the editor
// shows them: word addresses, hex words, and which line and label is which.
class CLspWords {
public:
    // A word of the result with the section that holds it.
    struct Placed {
        const CWord* word = nullptr;
        const CSectionWords* section = nullptr;
    };

    // The word as four lower-case hex digits: "0c48".
    static std::string hex(std::uint32_t word);
    // The word address a label stands for (its value counts bytes).
    static std::int64_t wordAddress(const CSymbolInfo& symbol) { return symbol.value / 2; }
    // Whether a section of that kind (CSection::Kind) holds data words.
    static bool isData(std::int32_t sectionKind);
    // The directive that opens a section of that kind: ".text" or ".data".
    static std::string_view directiveOf(std::int32_t sectionKind);
    // The section a label was defined in; null while it is not known (the
    // run stopped before the words were made, or the label is not defined).
    static const CSectionWords* sectionOf(const CAssemblyResult& result, const CSymbolInfo& symbol);

    // The label of that name; null for none.
    static const CSymbolInfo* symbolNamed(const CAssemblyResult& result, std::string_view name);
    // The label a token of the document names, at its definition or a use;
    // null for any other token.
    static const CSymbolInfo* labelOf(const CLspDocument& document, const CLspToken* token);

    // The words a 0-based line of the document itself made, in address order.
    static std::vector<Placed> onLine(const CAssemblyResult& result, std::size_t line);
};
