#pragma once

#include "emitter/CImageWriter.h"

// Xilinx coefficient file for the block memory generator: binary radix and
// the vector of all words, comma-separated, ending with ";".
class CCoeImageWriter : public CUniformImageWriter {
protected:
    std::string image(const std::vector<std::uint32_t>& words, int bits) const override;
};
