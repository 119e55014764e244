#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "parser/COperand.h"
#include "util/CSmallObjectPool.h"

// One parsed statement: its id (101 data word, 102 to 122 instructions),
// its cycle and source position, and its operands, owned in source order
// and listed again by role.
class CStatement : public CPooled {
public:
    enum Role { Source = 0, Destination = 1, SourceAndDestination = 2, Auxiliary = 3 };

    explicit CStatement(std::int32_t id = 0) : m_id(id) {}

    // Which role lists an operand of this role goes to.
    static bool isSource(int role) { return role == Source || role == SourceAndDestination; }
    static bool isDestination(int role) { return role == Destination || role == SourceAndDestination; }

    // Appends the operand to m_operands and, by role, to the role lists.
    void addOperand(std::unique_ptr<COperand> operand, int role);
    // Sizes the lists ahead of addOperand.
    void reserveOperands(std::size_t operands, std::size_t sources, std::size_t destinations,
                         std::size_t auxiliaries);

    std::int32_t m_cycle = 0;
    std::int32_t m_id = 0;
    std::vector<std::unique_ptr<COperand>> m_operands;
    std::vector<COperand*> m_auxOps;
    std::vector<COperand*> m_srcOps;
    std::vector<COperand*> m_dstOps;
    std::int32_t m_line = 0;
    std::int32_t m_fileIndex = 0;
    // Where its first token stands in the preprocessed text, for messages.
    std::size_t m_offset = 0;
};
