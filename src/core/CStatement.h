#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/COperand.h"
#include "core/COperandRoleList.h"

// One parsed statement: its id (101 data word, 102 to 122 instructions),
// its cycle and source position, and its operands, owned in source order
// and listed again by role. The role lists view m_operands, so a record
// stays where it was made: it is neither copied nor moved.
class CStatement {
public:
    enum Role { Source = 0, Destination = 1, SourceAndDestination = 2, Auxiliary = 3 };

    explicit CStatement(std::int32_t id = 0) : m_id(id) {}
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    // Which role lists an operand of this role goes to.
    static bool isSource(int role) { return role == Source || role == SourceAndDestination; }
    static bool isDestination(int role) { return role == Destination || role == SourceAndDestination; }
    static bool isAuxiliary(int role) { return role == Auxiliary; }

    // Appends the operand, with its role, to m_operands; the role lists then show it.
    void addOperand(std::unique_ptr<COperand> operand, int role);
    // Sizes the operand list ahead of addOperand.
    void reserveOperands(std::size_t operands);

    std::int32_t m_cycle = 0;
    std::int32_t m_id = 0;
    std::vector<std::unique_ptr<COperand>> m_operands;
    COperandRoleList m_auxOps{m_operands, isAuxiliary};
    COperandRoleList m_srcOps{m_operands, isSource};
    COperandRoleList m_dstOps{m_operands, isDestination};
    std::int32_t m_line = 0;
    std::int32_t m_fileIndex = 0;
    // Where it stands in the preprocessed text: its first token, and the
    // bytes up to the end of its last.
    std::size_t m_offset = 0;
    std::size_t m_length = 0;
};
