#include "core/COperand.h"

std::unique_ptr<COperand> COperand::create(std::int32_t kind, const std::string& text)
{
    switch (kind) {
    case Register:
        return std::make_unique<CRegOperand>(text);
    case Condition:
        return std::make_unique<CCondOperand>(text);
    case Memory:
        return std::make_unique<CMemOperand>(text);
    case Operator:
        return std::make_unique<COperatorOperand>(text);
    case EnSl:
        return std::make_unique<CEnSlOperand>(text);
    default:
        return std::make_unique<CMiscOperand>(text);
    }
}
