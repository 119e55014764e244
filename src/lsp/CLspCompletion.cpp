#include "lsp/CLspCompletion.h"

CLspCompletion::json CLspCompletion::completion(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

