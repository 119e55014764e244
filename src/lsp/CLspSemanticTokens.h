#pragma once

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// The document's tokens coloured by what they are: mnemonics, registers,
// directives, labels, numbers, comments and preprocessor lines.
class CLspSemanticTokens {
public:
    using json = nlohmann::json;

    // The token types and modifiers, as initialize announces them.
    static json legend();
    // textDocument/semanticTokens/full: {"data": [...]}.
    static json full(const CLspDocument& document, const json& params);
};
