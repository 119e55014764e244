#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <vector>

#include "core/COperand.h"

// The operands of one role in a statement, in source order: a view of the
// statement's own operand list that picks the operands by their role, so a
// role list keeps no storage of its own.
class COperandRoleList {
public:
    using Operands = std::vector<std::unique_ptr<COperand>>;
    // Whether an operand of this role belongs to the list.
    using RoleTest = bool (*)(int role);

    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = COperand*;
        using difference_type = std::ptrdiff_t;
        using pointer = COperand* const*;
        using reference = COperand*;

        Iterator() = default;
        Iterator(Operands::const_iterator at, Operands::const_iterator end, RoleTest test);

        COperand* operator*() const { return m_at->get(); }
        Iterator& operator++();
        Iterator operator++(int);
        bool operator==(const Iterator& other) const { return m_at == other.m_at; }

    private:
        // Moves to the first operand of the role at or after m_at.
        void skipOthers();

        Operands::const_iterator m_at;
        Operands::const_iterator m_end;
        RoleTest m_test = nullptr;
    };

    COperandRoleList(const Operands& operands, RoleTest test) : m_operands(&operands), m_test(test) {}

    Iterator begin() const { return {m_operands->begin(), m_operands->end(), m_test}; }
    Iterator end() const { return {m_operands->end(), m_operands->end(), m_test}; }
    bool empty() const { return begin() == end(); }
    std::size_t size() const;

private:
    const Operands* m_operands;
    RoleTest m_test;
};
