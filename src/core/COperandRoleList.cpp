#include "core/COperandRoleList.h"

COperandRoleList::Iterator::Iterator(Operands::const_iterator at, Operands::const_iterator end, RoleTest test)
    : m_at(at), m_end(end), m_test(test)
{
    skipOthers();
}

COperandRoleList::Iterator& COperandRoleList::Iterator::operator++()
{
    ++m_at;
    skipOthers();
    return *this;
}

COperandRoleList::Iterator COperandRoleList::Iterator::operator++(int)
{
    Iterator before = *this;
    ++*this;
    return before;
}

void COperandRoleList::Iterator::skipOthers()
{
    while (m_at != m_end && !(*m_at && m_test((*m_at)->m_role))) {
        ++m_at;
    }
}

std::size_t COperandRoleList::size() const
{
    return static_cast<std::size_t>(std::distance(begin(), end()));
}
