#pragma once

#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// The diagnostics of a document's analysis as the editor gets them: the
// command line's texts at the user's token, notes as related information,
// each file's list under its own address.
class CLspDiagnostics {
public:
    using json = nlohmann::json;

    // The params of each textDocument/publishDiagnostics to send for the
    // document's newest analysis: one per file with diagnostics, and an
    // empty list for each file that had some before and has none now. The
    // document remembers what it published.
    static std::vector<json> publish(CLspDocument& document);

    static json toJson(const CLspDocument& document, const CDiagnostic& diagnostic);
};
