#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emitter/CEmitter.h"

class CFileBuffer;
class CSection;

// Writes the listing: the symbol table, then every cycle with its source
// text, byte offset and code (without fixups).
class CLstEmitter : public CEmitter {
public:
    CLstEmitter();
    ~CLstEmitter() override;

    void run() override;

    // The lines of one section: per listing text its cycle's offset and bytes.
    // A cycle's bytes run from its map entry to the next one (the end of the
    // code for the last); a text without a map entry starts at the end of the
    // code, and every range is kept inside the code.
    static void appendSectionLines(const CSection& section, CFileBuffer& out);
    // Appends "0x" and the bytes read as one unsigned number, first byte most
    // significant, without leading zeros ("0x0" for none).
    static void appendBytesHex(std::string& text, const std::vector<std::uint8_t>& code, std::size_t begin,
                               std::size_t end);

private:
    void appendSymbolTable(CFileBuffer& out) const;

    std::unique_ptr<CFileBuffer> m_ownBuffer;
};
