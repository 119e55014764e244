#pragma once

#include "lexer/COpcodeInfoPool.h"

// The Vorn instruction set: the data word (id 101) and the 21 instructions
// (ids 102 to 122) with their encoding patterns.
class CVornOpcodeInfo : public COpcodeInfoPool {
public:
    CVornOpcodeInfo();
};
