#include "lsp/CLspNavigation.h"

CLspNavigation::json CLspNavigation::definition(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

CLspNavigation::json CLspNavigation::references(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

CLspNavigation::json CLspNavigation::prepareRename(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

CLspNavigation::json CLspNavigation::rename(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

CLspNavigation::json CLspNavigation::documentSymbols(const CLspDocument& /*document*/, const json& /*params*/)
{
    return nullptr;
}

