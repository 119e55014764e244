#include "emitter/COpcodeGenerator.h"

std::string COpcodeGenerator::mergeOpcodes(std::string a, std::string /*b*/)
{
    return a;
}
