#pragma once

#include <cstdint>
#include <map>

#include "core/COpcodeDesc.h"

class CStatement;

// An instruction table keyed by statement id. Targets fill m_table when they
// are constructed; it never changes afterwards.
class COpcodeInfoPool {
public:
    virtual ~COpcodeInfoPool() = default;

    // A copy of the statement's entry; form -1 and an empty pattern when its
    // id is not in the table.
    virtual COpcodeDesc getOpcodeDesc(const CStatement& statement) const;

    // The entry of that id inside the table, or null; lets hot paths avoid copies.
    const COpcodeDesc* findOpcodeDesc(std::int32_t id) const;

    std::map<std::int32_t, COpcodeDesc> m_table;
};
