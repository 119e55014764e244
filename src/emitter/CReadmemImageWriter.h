#pragma once

#include "emitter/CImageWriter.h"

// Text for Verilog's $readmemh (radix 16: four hexadecimal digits) or
// $readmemb (radix 2: one binary digit per bit), one word per line.
class CReadmemImageWriter : public CUniformImageWriter {
public:
    explicit CReadmemImageWriter(int radix) : m_radix(radix) {}

protected:
    std::string image(const std::vector<std::uint32_t>& words, int bits) const override;

private:
    int m_radix;
};
