#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/CExpr.h"

class CLexer;
struct CToken;

// Builds an expression tree from the lexer's tokens. Precedence, weakest
// first: "|", "&", "<<" ">>", "+" "-", "*" "/" "%", then the unary "-" and
// "~", numbers, identifiers and parentheses; binary operators fold to the
// left. Explicit stacks replace recursion, so nesting never deepens the call
// stack, and limits keep every accepted tree shallow enough for recursive
// evaluation.
class CExprParser {
public:
    // At most this many "(" and unary operators may be open at once.
    static constexpr int kMaxOpen = 1000;
    // At most this many levels in a tree (a leaf is one level).
    static constexpr int kMaxDepth = 1000;

    // Parses one expression at the lexer's cursor; the token after it is put
    // back. Null on a syntax error or a limit exceeded (the cursor is then
    // left wherever parsing stopped).
    std::unique_ptr<CExpr> parse(CLexer& lexer);
    // Whether an expression can begin with a token of this id (the operands
    // and prefixes shiftOperand accepts).
    static bool canBegin(std::int32_t tokenId);

private:
    struct Operand {
        std::unique_ptr<CExpr> tree;
        int depth;
    };
    struct PendingOperator {
        std::int32_t type;
        int precedence;
    };

    enum class Shift { Failed, Prefix, Operand };

    // A token where an operand must stand: a leaf completes the operand, "("
    // or a unary operator opens one.
    Shift shiftOperand(const CToken& token);
    bool shiftBinary(std::int32_t type, int precedence);
    bool closeParenthesis();
    bool openOperator(std::int32_t type, int precedence);
    bool pushLeaf(std::unique_ptr<CExpr> leaf);
    bool applyUnaryOperators();
    // Folds pending binary operators binding at least as tightly as `precedence`.
    bool reduceBinaries(int precedence);
    bool pushNode(std::unique_ptr<CExpr> node, int depth);
    std::unique_ptr<CExpr> finish(bool success);

    std::vector<Operand> m_operands;
    std::vector<PendingOperator> m_operators;
    int m_open = 0;
    int m_parentheses = 0;
};
