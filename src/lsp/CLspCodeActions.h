#pragma once

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// Quick fixes: the replacement a diagnostic already names ("did you mean
// 'dec'?"), or for an undefined label the closest label defined. A fix is
// offered only where the diagnostic's range holds the misspelt word in the
// text as it is now.
class CLspCodeActions {
public:
    using json = nlohmann::json;

    static json codeActions(const CLspDocument& document, const json& params);
};
