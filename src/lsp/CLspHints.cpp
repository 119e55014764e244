#include "lsp/CLspHints.h"

CLspHints::json CLspHints::inlayHints(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

CLspHints::json CLspHints::hover(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

