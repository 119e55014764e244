#include "lsp/CLspSemanticTokens.h"

CLspSemanticTokens::json CLspSemanticTokens::legend()
{
    return {{"tokenTypes", json::array()}, {"tokenModifiers", json::array()}};
}

CLspSemanticTokens::json CLspSemanticTokens::full(const CLspDocument& /*document*/, const json& /*params*/)
{
    return {{"data", json::array()}};
}
