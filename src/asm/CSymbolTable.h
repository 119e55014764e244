#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "asm/CProgramModule.h"
#include "asm/CSymbol.h"
#include "util/CHugePageMemory.h"

// The symbols of one run in order of first appearance. Records never move,
// and a name index makes look-ups independent of the table's size.
class CSymbolTable : public CProgramModule {
public:
    // Inserts a new name, or completes an undefined record in place with a
    // defined one. Returns false (and changes nothing) when the name is
    // already defined or the new symbol is not.
    bool addSymbol(const CSymbol& symbol);

    // The record of that exact name, or null.
    CSymbol* find(std::string_view name) const;

    const std::vector<std::unique_ptr<CSymbol>>& symbols() const { return m_symbols; }

private:
    // One entry of the name index: open addressing with linear probing in a
    // flat array, so a look-up touches one slot and one record.
    struct Slot {
        std::uint64_t hash = 0;
        CSymbol* symbol = nullptr;
    };

    static std::uint64_t hashOf(std::string_view name);
    // The slot holding the name, or the empty slot where it would go.
    std::size_t slotOf(std::string_view name, std::uint64_t hash) const;
    void growIndex();

    std::vector<std::unique_ptr<CSymbol>> m_symbols;
    std::vector<Slot, CHugePageAllocator<Slot>> m_slots;
};
