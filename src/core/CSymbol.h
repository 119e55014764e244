#pragma once

#include <cstddef>
#include <cstdint>
#include <string>


class CSection;

// One symbol of the symbol table; labels have binding and type 0.
class CSymbol {
public:
    // Symbol types; an object or function named like its section gets the
    // section's size.
    enum Type : std::uint8_t { Label = 0, Object = 1, Function = 2 };

    std::int32_t getCycle() const { return m_cycle; }
    // "Sym: name=... value=... size=... bind=... type=... section=..."
    std::string dumpLine() const;

    std::string m_name;
    std::uint8_t m_bind = 0;
    CSection* m_section = nullptr;  // null: not defined
    std::uint32_t m_value = 0;
    std::uint32_t m_size = 0;
    std::uint8_t m_type = 0;
    std::int32_t m_reserved1 = 0;
    std::int32_t m_reserved2 = 0;
    std::uint8_t m_flag = 0;
    bool m_referenced = false;
    std::int32_t m_cycle = 0;
    // Where it is defined: the parser's line and file, and its name's place
    // in the preprocessed text.
    std::int32_t m_line = -1;
    std::int32_t m_fileIndex = -1;
    std::size_t m_offset = 0;
};
