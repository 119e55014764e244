#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/CExpr.h"

class CSymExpOperand;

// An operand of a statement; the kind number tells the classes apart.
class COperand {
public:
    enum Kind { Register = 1, Condition = 2, Memory = 3, SymExp = 4, Operator = 5, EnSl = 6, Misc = 7 };

    COperand(std::int32_t kind, std::string text) : m_kind(kind), m_text(std::move(text)) {}
    virtual ~COperand() = default;

    // The operand class of a kind other than 4, holding the captured text.
    static std::unique_ptr<COperand> create(std::int32_t kind, const std::string& text);

    // This operand as the symbol/expression class, or null for any other class.
    virtual const CSymExpOperand* asSymExp() const { return nullptr; }

    std::int32_t m_kind;
    // Its role in the statement (CStatement::Role), set when the statement takes it.
    std::int32_t m_role = 0;
    std::string m_text;
    // Where it stands in the preprocessed text.
    std::size_t m_offset = 0;
    std::size_t m_length = 0;
};

class CRegOperand : public COperand {
public:
    explicit CRegOperand(std::string text) : COperand(Register, std::move(text)) {}
};

class CCondOperand : public COperand {
public:
    explicit CCondOperand(std::string text) : COperand(Condition, std::move(text)) {}
};

class CMemOperand : public COperand {
public:
    explicit CMemOperand(std::string text) : COperand(Memory, std::move(text)) {}
};

class COperatorOperand : public COperand {
public:
    explicit COperatorOperand(std::string text) : COperand(Operator, std::move(text)) {}
};

class CEnSlOperand : public COperand {
public:
    explicit CEnSlOperand(std::string text) : COperand(EnSl, std::move(text)) {}
};

class CMiscOperand : public COperand {
public:
    explicit CMiscOperand(std::string text) : COperand(Misc, std::move(text)) {}
};

// The symbol/expression operand: owns its (unevaluated) expression tree.
class CSymExpOperand : public COperand {
public:
    explicit CSymExpOperand(std::unique_ptr<CExpr> expr) : COperand(SymExp, {}), m_expr(std::move(expr)) {}

    const CSymExpOperand* asSymExp() const override { return this; }

    std::unique_ptr<CExpr> m_expr;
};
