#pragma once

#include "emitter/CImageWriter.h"

// Memory Initialization File for Intel/Altera memories: WIDTH, DEPTH,
// decimal addresses, binary words, one "address : word;" line each.
class CMifImageWriter : public CUniformImageWriter {
protected:
    std::string image(const std::vector<std::uint32_t>& words, int bits) const override;
};
