#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/CToken.h"

// One node of an expression tree. The node type is the token id it was made
// from: 1 decimal, 2 hexadecimal, 10 identifier, or an operator's id. Each
// node owns its children; a unary node has only a right operand.
class CExpr {
public:
    CExpr() = default;
    CExpr(std::int32_t type, double value, std::string name = {});
    CExpr(std::int32_t type, std::unique_ptr<CExpr> left, std::unique_ptr<CExpr> right);
    // Frees the subtrees with an explicit stack, so no tree is too deep to destroy.
    ~CExpr();
    CExpr(const CExpr&) = delete;
    CExpr& operator=(const CExpr&) = delete;

    // What evaluate() allows, in a student's words.
    static constexpr const char* kOneLabelRule =
        "an expression may use one label at most, and only add numbers to it or subtract them from it";

    // Reduces the tree to a number plus at most one symbol (empty name: a
    // plain number). Throws CParseError("ERROR") on a wrong combination.
    void evaluate(double& value, std::string& symbol) const;

    // Truncating conversions with defined results everywhere: NaN and
    // out-of-range values give the type's most negative value (int32, int64);
    // u64 maps negatives to two's complement and NaN or >= 2^64 to 0.
    static std::int32_t toInt32(double value);
    static std::int64_t toInt64(double value);
    static std::uint64_t toUint64(double value);

    // Calls `visit` with each identifier leaf of the tree, left to right.
    // Trees are at most a thousand levels deep (the parser's limit).
    template <typename Visit>
    void forEachIdentifier(Visit&& visit) const
    {
        if (m_type == TOK_IDENTIFIER) {
            visit(*this);
        }
        if (m_left) {
            m_left->forEachIdentifier(visit);
        }
        if (m_right) {
            m_right->forEachIdentifier(visit);
        }
    }
    // The first identifier leaf of that name, or null.
    const CExpr* findIdentifier(std::string_view name) const;

    // The value of a hexadecimal literal ("0x..."), saturating at 2^63-1.
    static double hexLiteralValue(const std::string& text);

    std::int32_t m_type = 0;
    // Where the token the node was made from stands in the preprocessed text.
    std::size_t m_offset = 0;
    double m_value = 0.0;
    std::string m_name;
    std::unique_ptr<CExpr> m_left;
    std::unique_ptr<CExpr> m_right;

private:
    bool hasGrandchildren() const;
};
