#pragma once

#include "emitter/CImageWriter.h"

// Complete VHDL-93 design files that analyse alone: the code image as the
// entity instr_rom, whose architecture reads a constant array (so synthesis
// infers a ROM), and the data image as the package vorn_data with the array
// type t_mem and the constant DATA_INIT.
class CVhdlImageWriter : public CImageWriter {
public:
    std::string codeFile(const CMemoryImages& images) const override;
    std::string dataFile(const CMemoryImages& images) const override;
};
