#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of an instruction table: the statement id it encodes, the
// instruction form and the encoding pattern with one character per bit,
// most significant first ("0"/"1" fixed, "x" don't-care, an upper-case letter
// opening a field and lower-case letters continuing it).
struct COpcodeDesc {
    std::int32_t m_form = -1;  // 0 data word, 1 register, 2 jump, 3 load/store; -1 unknown id
    std::int32_t m_id = 0;
    std::string m_encoding;
    // One operand-encoding id per register field, in pattern order.
    std::vector<std::int32_t> m_operEncIds;
};
