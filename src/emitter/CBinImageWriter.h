#pragma once

#include "emitter/CImageWriter.h"

// Raw binary: every word as two bytes, high byte first.
class CBinImageWriter : public CUniformImageWriter {
protected:
    std::string image(const std::vector<std::uint32_t>& words, int bits) const override;
};
