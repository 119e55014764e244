#include "layout/Reg8bit.h"

#include "core/COperand.h"
#include "util/NumberFormat.h"

namespace {
constexpr int kRegisterCount = 8;
constexpr int kRegisterBits = 3;
}  // namespace

std::string Reg8bit::encode(const COperand& operand) const
{
    const std::string& text = operand.m_text;
    if (operand.m_kind != COperand::Register || text.size() != 2 || (text[0] != 'r' && text[0] != 'R')) {
        return {};
    }
    const int number = text[1] - '0';
    if (number < 0 || number >= kRegisterCount) {
        return {};
    }
    return NumberFormat::ToBin(static_cast<std::uint64_t>(number), kRegisterBits);
}
