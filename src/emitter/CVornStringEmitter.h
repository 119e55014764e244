#pragma once

#include <memory>

#include "emitter/CEmitter.h"

class CFileBuffer;

// Writes the code sections as an instr_rom VHDL architecture (".txt") and the
// data sections as sMEM assignments (".dat"), with fixups applied.
class CVornStringEmitter : public CEmitter {
public:
    CVornStringEmitter();
    ~CVornStringEmitter() override;

    void run() override;
    void writeFiles(const std::string& name) override;

    std::unique_ptr<CFileBuffer> m_dataBuffer;
};
