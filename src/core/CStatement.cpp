#include "core/CStatement.h"

void CStatement::addOperand(std::unique_ptr<COperand> operand, int role)
{
    if (operand) {
        operand->m_role = role;
    }
    m_operands.push_back(std::move(operand));
}

void CStatement::reserveOperands(std::size_t operands)
{
    m_operands.reserve(operands);
}
