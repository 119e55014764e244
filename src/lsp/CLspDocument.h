#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "lsp/CLspAnalysis.h"
#include "lsp/CLspText.h"
#include "lsp/CLspTokens.h"

// An open document: the editor's text at its newest version, that
// version's analysis (once it is settled) and tokens (once a request needs
// them), and the addresses diagnostics were last published for on its
// behalf (its own and its included files').
struct CLspDocument {
    std::string uri;
    std::string text;
    CLspText lines{""};  // the lines of `text`, made again with it
    int version = 0;
    std::unique_ptr<CLspAnalysis> analysis;
    std::vector<CLspToken> tokens;
    bool tokensScanned = false;  // whether `tokens` are those of `text`
    std::set<std::string> published;
    bool stale = true;  // changed since `analysis` was made
};
