#include <string_view>

#include "driver/CRozeDov.h"
#include "lsp/CLspServer.h"

// `rozedov --lsp` is the editor server; every other command line, the assembler.
int main(int argc, char** argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "--lsp") {
        return CLspServer::main(argv[0]);
    }
    return CRozeDov::main(argc, argv);
}
