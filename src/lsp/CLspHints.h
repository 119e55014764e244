#pragma once

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// The machine words beside the source: inlay hints with each line's word address and word, and hovers over lines, labels, mnemonics and registers.
class CLspHints {
public:
    using json = nlohmann::json;

    static json inlayHints(const CLspDocument& document, const json& params);
    static json hover(const CLspDocument& document, const json& params);
};
