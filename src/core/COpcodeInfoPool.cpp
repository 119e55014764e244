#include "core/COpcodeInfoPool.h"

#include "core/CStatement.h"

COpcodeDesc COpcodeInfoPool::getOpcodeDesc(const CStatement& statement) const
{
    const COpcodeDesc* desc = findOpcodeDesc(statement.m_id);
    if (desc == nullptr) {
        COpcodeDesc unknown;
        unknown.m_id = statement.m_id;
        return unknown;
    }
    return *desc;
}

const COpcodeDesc* COpcodeInfoPool::findOpcodeDesc(std::int32_t id) const
{
    auto found = m_table.find(id);
    return found == m_table.end() ? nullptr : &found->second;
}
