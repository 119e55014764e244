#include "lsp/CLspFormatter.h"

CLspFormatter::json CLspFormatter::formatting(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

