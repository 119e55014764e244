#include "core/CExpr.h"

#include <cmath>
#include <limits>
#include <vector>

#include "core/CToken.h"
#include "core/CParseError.h"
#include "util/NumberFormat.h"

namespace {
struct Operand {
    double value = 0.0;
    std::string symbol;
    bool plain() const { return symbol.empty(); }
};

[[noreturn]] void fail()
{
    throw CParseError("ERROR");
}

void requirePlain(const Operand& left, const Operand& right)
{
    if (!left.plain() || !right.plain()) {
        fail();
    }
}

constexpr double kTwoTo31 = 2147483648.0;
constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

double combine(std::int32_t type, const Operand& l, const Operand& r, std::string& symbol)
{
    switch (type) {
    case TOK_PLUS:
        if (!l.plain() && !r.plain()) {
            fail();
        }
        symbol = l.plain() ? r.symbol : l.symbol;
        return l.value + r.value;
    case TOK_MINUS:
        // A symbol cannot be subtracted: 'n - lbl' has no symbol-plus-number form.
        if (!r.plain()) {
            fail();
        }
        symbol = l.symbol;
        return l.value - r.value;
    case TOK_STAR:
        requirePlain(l, r);
        return l.value * r.value;
    case TOK_SLASH:
        requirePlain(l, r);
        return l.value / r.value;
    case TOK_PERCENT: {
        requirePlain(l, r);
        const std::int32_t a = CExpr::toInt32(l.value);
        const std::int32_t b = CExpr::toInt32(r.value);
        if (b == 0 || (a == std::numeric_limits<std::int32_t>::min() && b == -1)) {
            fail();
        }
        return a % b;
    }
    case TOK_AMPERSAND:
        requirePlain(l, r);
        return CExpr::toInt32(l.value) & CExpr::toInt32(r.value);
    case TOK_BAR:
        requirePlain(l, r);
        return CExpr::toInt32(l.value) | CExpr::toInt32(r.value);
    case TOK_SHIFT_RIGHT:
        requirePlain(l, r);
        return CExpr::toInt32(l.value) >> (CExpr::toInt32(r.value) & 31);
    case TOK_SHIFT_LEFT: {
        requirePlain(l, r);
        const unsigned count = static_cast<std::uint8_t>(CExpr::toInt32(r.value));
        const std::uint64_t bits = count >= 64 ? 0 : CExpr::toUint64(l.value) << count;
        return static_cast<double>(static_cast<std::int64_t>(bits));
    }
    default:
        fail();
    }
}
}  // namespace

CExpr::CExpr(std::int32_t type, double value, std::string name)
    : m_type(type), m_value(value), m_name(std::move(name))
{
}

CExpr::CExpr(std::int32_t type, std::unique_ptr<CExpr> left, std::unique_ptr<CExpr> right)
    : m_type(type), m_left(std::move(left)), m_right(std::move(right))
{
}

bool CExpr::hasGrandchildren() const
{
    auto inner = [](const std::unique_ptr<CExpr>& child) { return child && (child->m_left || child->m_right); };
    return inner(m_left) || inner(m_right);
}

CExpr::~CExpr()
{
    // Children without children of their own are simply freed with the members.
    if (!hasGrandchildren()) {
        return;
    }
    std::vector<std::unique_ptr<CExpr>> detached;
    auto detachChildren = [&detached](CExpr& node) {
        if (node.m_left) {
            detached.push_back(std::move(node.m_left));
        }
        if (node.m_right) {
            detached.push_back(std::move(node.m_right));
        }
    };
    detachChildren(*this);
    while (!detached.empty()) {
        std::unique_ptr<CExpr> node = std::move(detached.back());
        detached.pop_back();
        detachChildren(*node);
    }
}

void CExpr::evaluate(double& value, std::string& symbol) const
{
    symbol.clear();
    switch (m_type) {
    case TOK_DEC_NUMBER:
    case TOK_HEX_NUMBER:
        value = m_value;
        return;
    case TOK_IDENTIFIER:
        value = 0.0;
        symbol = m_name;
        return;
    case TOK_TILDE: {
        Operand r;
        if (m_right) {
            m_right->evaluate(r.value, r.symbol);
        }
        if (!r.plain()) {
            fail();
        }
        value = static_cast<double>(static_cast<std::int64_t>(~toUint64(r.value)));
        return;
    }
    default:
        break;
    }
    Operand l;
    Operand r;
    if (m_left) {
        m_left->evaluate(l.value, l.symbol);
    } else if (m_type != TOK_MINUS) {
        fail();
    }
    if (!m_right) {
        fail();
    }
    m_right->evaluate(r.value, r.symbol);
    value = combine(m_type, l, r, symbol);
}

const CExpr* CExpr::findIdentifier(std::string_view name) const
{
    const CExpr* found = nullptr;
    forEachIdentifier([&](const CExpr& leaf) {
        if (found == nullptr && leaf.m_name == name) {
            found = &leaf;
        }
    });
    return found;
}

std::int32_t CExpr::toInt32(double value)
{
    if (!(value > -kTwoTo31 - 1.0 && value < kTwoTo31)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::int64_t CExpr::toInt64(double value)
{
    if (!(value >= -kTwoTo63 && value < kTwoTo63)) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

std::uint64_t CExpr::toUint64(double value)
{
    if (std::isnan(value) || value >= kTwoTo64) {
        return 0;
    }
    if (value < 0.0) {
        return static_cast<std::uint64_t>(toInt64(value));
    }
    return static_cast<std::uint64_t>(value);
}

double CExpr::hexLiteralValue(const std::string& text)
{
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t result = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const int digit = NumberFormat::HexDigitValue(text[i]);
        if (digit < 0) {
            break;
        }
        if (result > (kMax - static_cast<std::uint64_t>(digit)) / 16) {
            return static_cast<double>(kMax);
        }
        result = result * 16 + static_cast<std::uint64_t>(digit);
    }
    return static_cast<double>(result);
}
