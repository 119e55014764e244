#pragma once

#include <cstdint>

class CSymbol;

// A reference from a cycle's code to a symbol, resolved by the ROM emitter.
struct CFixup {
    CSymbol* m_symbol = nullptr;
    std::int32_t m_offset = 0;    // first host byte of the referencing cycle
    std::int32_t m_kind = 0;      // the driver's fixupKind; 0 on this target
    std::int32_t m_addend = 0;    // constant part of the expression
    std::int32_t m_reserved = 0;
};
