#include "layout/CVornOpcodeGenerator.h"

#include <algorithm>

#include "layout/Reg8bit.h"
#include "core/CParseError.h"
#include "core/CStatement.h"

namespace {
using OperEncMap = std::map<std::int32_t, std::unique_ptr<COperEnc>>;

constexpr char kMissingBit = '0';

using Action = CVornOpcodeGenerator::Action;
using Steps = CVornOpcodeGenerator::Steps;

// What each pattern letter does; every other character is copied.
struct LetterAction {
    char letter;
    Action action;
};

constexpr LetterAction kLetterActions[] = {
    {'C', Action::OpenOperand},       {'D', Action::OpenOperand},     {'M', Action::OpenOperand},
    {'S', Action::OpenOperand},       {'c', Action::ContinueOperand}, {'d', Action::ContinueOperand},
    {'m', Action::ContinueOperand},   {'s', Action::ContinueOperand}, {'N', Action::OpenSecond},
    {'n', Action::ContinueSecond},    {'I', Action::OpenImmediate},   {'U', Action::OpenImmediate},
    {'i', Action::ContinueImmediate}, {'u', Action::ContinueImmediate},
};

Action actionOf(char c)
{
    for (const LetterAction& entry : kLetterActions) {
        if (entry.letter == c) {
            return entry.action;
        }
    }
    return Action::Copy;
}

// 1 plus every "i"/"u" after position p up to the next field opener "I"/"U"
// or the end.
std::size_t immediateWidth(const std::string& pattern, std::size_t p)
{
    std::size_t width = 1;
    for (std::size_t q = p + 1; q < pattern.size(); ++q) {
        const Action action = actionOf(pattern[q]);
        if (action == Action::OpenImmediate) {
            break;
        }
        width += action == Action::ContinueImmediate ? 1 : 0;
    }
    return width;
}

// Bits still to place for one operand field, taken from the front.
struct OperandBits {
    std::string bits;
    std::size_t next = 0;

    void load(std::string encoded)
    {
        bits = std::move(encoded);
        next = 0;
    }
    bool take(char& bit)
    {
        if (next >= bits.size()) {
            return false;
        }
        bit = bits[next++];
        return true;
    }
};

// The bits of an immediate field: the value's lowest `remaining` bits in
// two's complement, handed out most significant first.
struct ImmediateBits {
    std::int64_t value = 0;
    std::size_t remaining = 0;

    bool take(char& bit)
    {
        if (remaining == 0) {
            return false;
        }
        --remaining;
        const bool set = remaining < 64 ? ((static_cast<std::uint64_t>(value) >> remaining) & 1U) != 0 : value < 0;
        bit = set ? '1' : '0';
        return true;
    }
};

// Fills one statement's pattern in place, walking it once.
class PatternFiller {
public:
    PatternFiller(const COpcodeDesc& desc, const CStatement& statement, const OperEncMap& encodings)
        : m_desc(desc), m_operands(statement.m_operands), m_encodings(encodings)
    {
    }

    void fill(std::string& pattern, const Steps& steps)
    {
        for (const auto& step : steps) {
            fillPosition(pattern, step);
        }
    }

    bool consistent() const { return m_consistent; }

private:
    void fillPosition(std::string& pattern, const CVornOpcodeGenerator::Step& step)
    {
        char& c = pattern[step.position];
        switch (step.action) {
        case Action::OpenOperand:
            openOperandField(m_operEncStr);
            place(m_operEncStr, c);
            break;
        case Action::ContinueOperand:
            place(m_operEncStr, c);
            break;
        case Action::OpenSecond:
            openOperandField(m_nOperEncStr);
            place(m_nOperEncStr, c);
            break;
        case Action::ContinueSecond:
            place(m_nOperEncStr, c);
            break;
        case Action::OpenImmediate:
            openImmediateField(c == 'U', step.width);
            place(m_immEncStr, c);
            break;
        case Action::ContinueImmediate:
            place(m_immEncStr, c);
            break;
        case Action::Copy:
            break;
        }
    }

    template <typename Bits>
    void place(Bits& bits, char& out)
    {
        if (!bits.take(out)) {
            out = kMissingBit;
            m_consistent = false;
        }
    }

    void openOperandField(OperandBits& bits)
    {
        const COperEnc* encoding = nextOperandEncoding();
        const COperand* operand = nextOperand();
        if (encoding == nullptr || operand == nullptr) {
            bits.load({});
            return;
        }
        bits.load(encoding->encode(*operand));
    }

    void openImmediateField(bool minusOne, std::size_t width)
    {
        bool found = false;
        const CSymExpOperand* operand = nextExpression(found);
        if (!found) {
            m_consistent = false;
        }
        double value = operand != nullptr ? constantPart(*operand) : 0.0;
        if (minusOne) {
            value -= 1.0;
        }
        m_immEncStr.value = CExpr::toInt64(value);
        m_immEncStr.remaining = width;
    }

    // The numeric part of the operand's expression; a symbol contributes 0.
    // A tree that does not evaluate was reported by the parser and counts as 0.
    static double constantPart(const CSymExpOperand& operand)
    {
        if (!operand.m_expr) {
            return 0.0;
        }
        double value = 0.0;
        std::string symbol;
        try {
            operand.m_expr->evaluate(value, symbol);
        } catch (const CParseError&) {
            return 0.0;
        }
        return value;
    }

    const COperEnc* nextOperandEncoding()
    {
        if (m_encIdIndex >= m_desc.m_operEncIds.size()) {
            m_consistent = false;
            return nullptr;
        }
        auto found = m_encodings.find(m_desc.m_operEncIds[m_encIdIndex++]);
        if (found == m_encodings.end() || !found->second) {
            m_consistent = false;
            return nullptr;
        }
        return found->second.get();
    }

    // The next operand that is not an expression, in source order.
    const COperand* nextOperand()
    {
        while (m_operandIndex < m_operands.size()) {
            const COperand* operand = m_operands[m_operandIndex++].get();
            if (operand != nullptr && operand->m_kind != COperand::SymExp) {
                return operand;
            }
        }
        m_consistent = false;
        return nullptr;
    }

    // The next expression operand (kind 4), in source order; its tree may be
    // absent, which counts as 0.
    const CSymExpOperand* nextExpression(bool& found)
    {
        while (m_expressionIndex < m_operands.size()) {
            const COperand* operand = m_operands[m_expressionIndex++].get();
            if (operand != nullptr && operand->m_kind == COperand::SymExp) {
                found = true;
                return operand->asSymExp();
            }
        }
        return nullptr;
    }

    const COpcodeDesc& m_desc;
    const std::vector<std::unique_ptr<COperand>>& m_operands;
    const OperEncMap& m_encodings;
    std::size_t m_encIdIndex = 0;
    std::size_t m_operandIndex = 0;
    std::size_t m_expressionIndex = 0;
    OperandBits m_operEncStr;
    OperandBits m_nOperEncStr;
    ImmediateBits m_immEncStr;
    bool m_consistent = true;
};
}  // namespace

CVornOpcodeGenerator::CVornOpcodeGenerator()
{
    m_operEncodings.emplace(kReg8bit, std::make_unique<Reg8bit>());
    // The table never changes, so each of its patterns is classified once.
    for (const auto& [id, desc] : m_opcodeInfo.m_table) {
        m_tableSteps.emplace(id, TableEntry{&desc, stepsOf(desc.m_encoding)});
    }
}

CVornOpcodeGenerator::~CVornOpcodeGenerator() = default;

std::string CVornOpcodeGenerator::generate(const std::vector<CStatement*>& cycle)
{
    std::string code;
    bool first = true;
    for (const CStatement* statement : cycle) {
        if (statement == nullptr) {
            continue;
        }
        code = first ? encodeInstruction(*statement) : mergeOpcodes(code, encodeInstruction(*statement));
        first = false;
    }
    std::replace(code.begin(), code.end(), 'x', '0');
    return code;
}

std::string CVornOpcodeGenerator::encodeInstruction(const CStatement& statement)
{
    const auto found = m_tableSteps.find(statement.m_id);
    return found != m_tableSteps.end() ? encodeWithSteps(*found->second.desc, found->second.steps, statement)
                                       : std::string();
}

std::string CVornOpcodeGenerator::encodeWith(const COpcodeDesc& desc, const CStatement& statement)
{
    return encodeWithSteps(desc, stepsOf(desc.m_encoding), statement);
}

std::string CVornOpcodeGenerator::encodeWithSteps(const COpcodeDesc& desc, const Steps& steps,
                                                  const CStatement& statement)
{
    std::string code = desc.m_encoding;
    PatternFiller filler(desc, statement, m_operEncodings);
    filler.fill(code, steps);
    if (!filler.consistent()) {
        reportWarning(kWarnBadOpcode);
    }
    return code;
}

CVornOpcodeGenerator::Steps CVornOpcodeGenerator::stepsOf(const std::string& pattern)
{
    Steps steps;
    for (std::size_t p = 0; p < pattern.size(); ++p) {
        const Action action = actionOf(pattern[p]);
        if (action != Action::Copy) {
            const std::size_t width = action == Action::OpenImmediate ? immediateWidth(pattern, p) : 0;
            steps.push_back({p, action, width});
        }
    }
    return steps;
}
