#pragma once

#include "emitter/CImageWriter.h"

// Intel HEX as Quartus reads it for memories of 15 and 16 bits: one data
// record per word, its address field the word address, two data bytes high
// byte first, each record with its checksum; an end-of-file record last.
class CHexImageWriter : public CUniformImageWriter {
protected:
    std::string image(const std::vector<std::uint32_t>& words, int bits) const override;
};
