#include "parser/CExprParser.h"

#include <algorithm>

#include "lexer/CLexer.h"
#include "core/CToken.h"

namespace {
struct BinaryOperator {
    std::int32_t type;
    int precedence;
};

// Precedence 1 is or, 2 and, 3 shift, 4 additive, 5 multiplicative.
constexpr BinaryOperator kBinaryOperators[] = {
    {TOK_BAR, 1},   {TOK_AMPERSAND, 2}, {TOK_SHIFT_LEFT, 3}, {TOK_SHIFT_RIGHT, 3}, {TOK_PLUS, 4},
    {TOK_MINUS, 4}, {TOK_STAR, 5},      {TOK_SLASH, 5},      {TOK_PERCENT, 5},
};

// Pending "(" and unary operators rank below and above every binary operator.
constexpr int kParenthesis = 0;
constexpr int kUnary = 100;

int binaryPrecedence(std::int32_t type)
{
    for (const BinaryOperator& entry : kBinaryOperators) {
        if (entry.type == type) {
            return entry.precedence;
        }
    }
    return 0;
}
}  // namespace

// expr           = or
// or             = and ("|" and)*
// and            = shift ("&" shift)*
// shift          = additive (("<<" | ">>") additive)*
// additive       = multiplicative (("+" | "-") multiplicative)*
// multiplicative = unary (("*" | "/" | "%") unary)*
// unary          = ("-" | "~") unary | primary
// primary        = DEC_NUMBER | HEX_NUMBER | IDENT | "(" expr ")"
// One loop reads all levels: operands and operators wait on stacks until a
// weaker operator, a ")" or the end of the expression folds them.
std::unique_ptr<CExpr> CExprParser::parse(CLexer& lexer)
{
    m_operands.clear();
    m_operators.clear();
    m_open = 0;
    m_parentheses = 0;
    bool wantOperand = true;
    for (;;) {
        const CToken& token = lexer.next();
        if (wantOperand) {
            const Shift shift = shiftOperand(token);
            if (shift == Shift::Failed) {
                return finish(false);
            }
            wantOperand = shift == Shift::Prefix;
            continue;
        }
        if (const int precedence = binaryPrecedence(token.m_id); precedence > 0) {
            if (!shiftBinary(token.m_id, precedence)) {
                return finish(false);
            }
            wantOperand = true;
            continue;
        }
        if (m_parentheses == 0) {
            lexer.unget();
            return finish(reduceBinaries(1));
        }
        // Inside parentheses only ")" may end an operand.
        if (token.m_id != TOK_RPAREN || !closeParenthesis()) {
            return finish(false);
        }
    }
}

// FIRST(unary) = DEC_NUMBER | HEX_NUMBER | IDENT | "(" | "-" | "~"
bool CExprParser::canBegin(std::int32_t tokenId)
{
    switch (tokenId) {
    case TOK_DEC_NUMBER:
    case TOK_HEX_NUMBER:
    case TOK_IDENTIFIER:
    case TOK_LPAREN:
    case TOK_MINUS:
    case TOK_TILDE:
        return true;
    default:
        return false;
    }
}

// The first token of unary = ("-" | "~") unary | primary.
CExprParser::Shift CExprParser::shiftOperand(const CToken& token)
{
    std::unique_ptr<CExpr> leaf;
    switch (token.m_id) {
    case TOK_DEC_NUMBER:
        leaf = std::make_unique<CExpr>(TOK_DEC_NUMBER, static_cast<double>(token.m_value));
        break;
    case TOK_HEX_NUMBER:
        leaf = std::make_unique<CExpr>(TOK_HEX_NUMBER, CExpr::hexLiteralValue(token.m_text));
        break;
    case TOK_IDENTIFIER:
        leaf = std::make_unique<CExpr>(TOK_IDENTIFIER, 0.0, token.m_text);
        break;
    case TOK_LPAREN:
        ++m_parentheses;
        return openOperator(TOK_LPAREN, kParenthesis) ? Shift::Prefix : Shift::Failed;
    case TOK_MINUS:
    case TOK_TILDE:
        return openOperator(token.m_id, kUnary) ? Shift::Prefix : Shift::Failed;
    default:
        return Shift::Failed;
    }
    leaf->m_offset = token.m_offset;
    return pushLeaf(std::move(leaf)) ? Shift::Operand : Shift::Failed;
}

bool CExprParser::openOperator(std::int32_t type, int precedence)
{
    if (++m_open > kMaxOpen) {
        return false;
    }
    m_operators.push_back({type, precedence});
    return true;
}

// The operator of any binary level, e.g. additive = multiplicative (("+" | "-") multiplicative)*
// Tighter and equal pending operators fold first, so every level folds left.
bool CExprParser::shiftBinary(std::int32_t type, int precedence)
{
    if (!reduceBinaries(precedence)) {
        return false;
    }
    m_operators.push_back({type, precedence});
    return true;
}

// The ")" of primary = "(" expr ")"; the prefixes before "(" then apply.
bool CExprParser::closeParenthesis()
{
    if (!reduceBinaries(1)) {
        return false;
    }
    m_operators.pop_back();
    --m_parentheses;
    --m_open;
    return applyUnaryOperators();
}

bool CExprParser::pushLeaf(std::unique_ptr<CExpr> leaf)
{
    m_operands.push_back({std::move(leaf), 1});
    return applyUnaryOperators();
}

// Completes unary = ("-" | "~") unary | primary around the operand just read.
bool CExprParser::applyUnaryOperators()
{
    while (!m_operators.empty() && m_operators.back().precedence == kUnary) {
        const std::int32_t type = m_operators.back().type;
        m_operators.pop_back();
        --m_open;
        Operand operand = std::move(m_operands.back());
        m_operands.pop_back();
        if (!pushNode(std::make_unique<CExpr>(type, nullptr, std::move(operand.tree)), operand.depth + 1)) {
            return false;
        }
    }
    return true;
}

bool CExprParser::reduceBinaries(int precedence)
{
    while (!m_operators.empty() && m_operators.back().precedence >= precedence &&
           m_operators.back().precedence < kUnary) {
        const std::int32_t type = m_operators.back().type;
        m_operators.pop_back();
        Operand right = std::move(m_operands.back());
        m_operands.pop_back();
        Operand left = std::move(m_operands.back());
        m_operands.pop_back();
        const int depth = std::max(left.depth, right.depth) + 1;
        if (!pushNode(std::make_unique<CExpr>(type, std::move(left.tree), std::move(right.tree)), depth)) {
            return false;
        }
    }
    return true;
}

bool CExprParser::pushNode(std::unique_ptr<CExpr> node, int depth)
{
    if (depth > kMaxDepth) {
        return false;
    }
    m_operands.push_back({std::move(node), depth});
    return true;
}

std::unique_ptr<CExpr> CExprParser::finish(bool success)
{
    std::unique_ptr<CExpr> result;
    if (success && m_operands.size() == 1) {
        result = std::move(m_operands.back().tree);
    }
    m_operands.clear();
    m_operators.clear();
    return result;
}
