#pragma once

#include <cstdint>

#include "core/COpcodeInfoPool.h"

// The Vorn instruction set: the data word (id 101) and the 21 instructions
// (ids 102 to 122) with their encoding patterns.
class CVornOpcodeInfo : public COpcodeInfoPool {
public:
    // The forms of instruction (COpcodeDesc::m_form).
    enum Form : std::int32_t { DataWord = 0, Register = 1, Jump = 2, LoadStore = 3 };
    static constexpr std::int32_t kDataWordId = 101;

    CVornOpcodeInfo();

    // The form of a statement id, or -1 for an id not in the table.
    static std::int32_t formOf(std::int32_t id);
};
