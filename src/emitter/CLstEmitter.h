#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CSection;
class CSectionTable;
class CSymbolTable;

// Builds the listing: the symbol table, then every cycle with its source
// text, byte offset and code (without fixups).
class CLstEmitter {
public:
    void run(const CSymbolTable& symbols, const CSectionTable& sections);

    // The lines of one section: per listing text its cycle's offset and bytes.
    // A cycle's bytes run from its map entry to the next one (the end of the
    // code for the last); a text without a map entry starts at the end of the
    // code, and every range is kept inside the code.
    static void appendSectionLines(const CSection& section, std::string& out);
    // Appends "0x" and the bytes read as one unsigned number, first byte most
    // significant, without leading zeros ("0x0" for none).
    static void appendBytesHex(std::string& text, const std::vector<std::uint8_t>& code, std::size_t begin,
                               std::size_t end);

    std::string m_text;
};
