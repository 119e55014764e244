#include "emitter/CVornOpcodeGenerator.h"

std::string CVornOpcodeGenerator::generate(std::vector<CStatement*> /*cycle*/)
{
    return {};
}
