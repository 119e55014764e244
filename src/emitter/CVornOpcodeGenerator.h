#pragma once

#include "emitter/COpcodeGenerator.h"

// The Vorn opcode generator: fills each statement's encoding pattern.
class CVornOpcodeGenerator : public COpcodeGenerator {
public:
    std::string generate(std::vector<CStatement*> cycle) override;
};
