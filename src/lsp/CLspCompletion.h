#pragma once

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// What may be typed at a place: mnemonics with their usage, registers after a mnemonic or a comma, labels and directives.
class CLspCompletion {
public:
    using json = nlohmann::json;

    static json completion(const CLspDocument& document, const json& params);
};
