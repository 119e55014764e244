#pragma once

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// Labels across the document: where each is defined and used, renaming them, and the outline of sections and labels.
class CLspNavigation {
public:
    using json = nlohmann::json;

    static json definition(const CLspDocument& document, const json& params);
    static json references(const CLspDocument& document, const json& params);
    static json prepareRename(const CLspDocument& document, const json& params);
    static json rename(const CLspDocument& document, const json& params);
    static json documentSymbols(const CLspDocument& document, const json& params);
};
