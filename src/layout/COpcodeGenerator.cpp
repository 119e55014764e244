#include "layout/COpcodeGenerator.h"

#include <algorithm>

#include "core/CDiagnosticMsgHandler.h"

namespace {
constexpr char kDontCare = 'x';
constexpr char kConflict = 'E';

bool isFixedBit(char c)
{
    return c == '0' || c == '1';
}

// The merged character of one position, or kConflict.
char mergeBit(char a, char b)
{
    if (a == b) {
        return a;
    }
    if (a == kDontCare && isFixedBit(b)) {
        return b;
    }
    if (b == kDontCare && isFixedBit(a)) {
        return a;
    }
    return kConflict;
}
}  // namespace

std::string COpcodeGenerator::mergeOpcodes(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) {
        reportWarning(kWarnBadOpcodeSizes);
    }
    const std::size_t length = std::max(a.size(), b.size());
    std::string merged(length, kDontCare);
    for (std::size_t i = 0; i < length; ++i) {
        const char left = i < a.size() ? a[i] : kDontCare;
        const char right = i < b.size() ? b[i] : kDontCare;
        merged[i] = mergeBit(left, right);
        if (merged[i] == kConflict) {
            reportWarning(kWarnBadOpcode);
        }
    }
    return merged;
}

void COpcodeGenerator::reportWarning(int code) const
{
    if (m_diag != nullptr) {
        m_diag->reportWarning(code, "");
    }
}
