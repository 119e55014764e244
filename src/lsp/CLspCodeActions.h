#pragma once

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// Quick fixes: the replacement a diagnostic already names ("did you mean 'dec'?").
class CLspCodeActions {
public:
    using json = nlohmann::json;

    static json codeActions(const CLspDocument& document, const json& params);
};
