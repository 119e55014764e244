#pragma once

#include <string>

class COperand;

// Turns one operand into the bits of its field.
class COperEnc {
public:
    virtual ~COperEnc() = default;

    // The operand's bits as "0"/"1", most significant first; empty when the
    // operand cannot be encoded this way.
    virtual std::string encode(const COperand& operand) const = 0;
};
