#include "parser/CStatement.h"

void CStatement::addOperand(std::unique_ptr<COperand> operand, int role)
{
    COperand* raw = operand.get();
    m_operands.push_back(std::move(operand));
    if (role == Auxiliary) {
        m_auxOps.push_back(raw);
    }
    if (role == Source || role == SourceAndDestination) {
        m_srcOps.push_back(raw);
    }
    if (role == Destination || role == SourceAndDestination) {
        m_dstOps.push_back(raw);
    }
}
