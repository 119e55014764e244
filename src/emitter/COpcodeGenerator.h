#pragma once

#include <string>
#include <vector>

#include "asm/CProgramModule.h"

class CStatement;

// Turns the statements of one cycle into one bit pattern ("0"/"1", most
// significant first).
class COpcodeGenerator : public CProgramModule {
public:
    virtual std::string generate(std::vector<CStatement*> cycle) = 0;
    // Merges two patterns of the same cycle position by position.
    virtual std::string mergeOpcodes(std::string a, std::string b);
};
