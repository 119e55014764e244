#include "lsp/CLspCodeActions.h"

CLspCodeActions::json CLspCodeActions::codeActions(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

