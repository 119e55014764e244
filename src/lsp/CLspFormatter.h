#pragma once

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// Lines up labels, mnemonics, operands and comments in columns without changing a token.
class CLspFormatter {
public:
    using json = nlohmann::json;

    static json formatting(const CLspDocument& document, const json& params);
};
