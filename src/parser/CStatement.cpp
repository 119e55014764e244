#include "parser/CStatement.h"

void CStatement::addOperand(std::unique_ptr<COperand> operand, int role)
{
    COperand* raw = operand.get();
    m_operands.push_back(std::move(operand));
    if (role == Auxiliary) {
        m_auxOps.push_back(raw);
    }
    if (isSource(role)) {
        m_srcOps.push_back(raw);
    }
    if (isDestination(role)) {
        m_dstOps.push_back(raw);
    }
}

void CStatement::reserveOperands(std::size_t operands, std::size_t sources, std::size_t destinations,
                                 std::size_t auxiliaries)
{
    m_operands.reserve(operands);
    m_srcOps.reserve(sources);
    m_dstOps.reserve(destinations);
    m_auxOps.reserve(auxiliaries);
}
