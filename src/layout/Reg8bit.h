#pragma once

#include "layout/COperEnc.h"

// One of the eight registers R0 to R7 (either case of "r") as its 3-bit number.
class Reg8bit : public COperEnc {
public:
    std::string encode(const COperand& operand) const override;
};
