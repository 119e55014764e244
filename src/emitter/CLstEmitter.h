#pragma once

#include <memory>

#include "emitter/CEmitter.h"

class CFileBuffer;

// Writes the listing: the symbol table, then every cycle with its source
// text, byte offset and code (without fixups).
class CLstEmitter : public CEmitter {
public:
    CLstEmitter();
    ~CLstEmitter() override;

    void run() override;

private:
    std::unique_ptr<CFileBuffer> m_ownBuffer;
};
