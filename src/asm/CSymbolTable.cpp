#include "asm/CSymbolTable.h"

#include <functional>

namespace {
constexpr std::size_t kInitialSlots = 64;
}  // namespace

bool CSymbolTable::addSymbol(const CSymbol& symbol)
{
    // Growing first keeps the index at most half full after an insertion, so
    // the slot found below stays valid and probes stay short.
    if (2 * (m_symbols.size() + 1) > m_slots.size()) {
        growIndex();
    }
    const std::uint64_t hash = hashOf(symbol.m_name);
    Slot& slot = m_slots[slotOf(symbol.m_name, hash)];
    if (slot.symbol == nullptr) {
        m_symbols.push_back(std::make_unique<CSymbol>(symbol));
        slot = {hash, m_symbols.back().get()};
        return true;
    }
    if (slot.symbol->m_section != nullptr || symbol.m_section == nullptr) {
        return false;
    }
    *slot.symbol = symbol;
    return true;
}

CSymbol* CSymbolTable::find(std::string_view name) const
{
    return m_slots.empty() ? nullptr : m_slots[slotOf(name, hashOf(name))].symbol;
}

std::uint64_t CSymbolTable::hashOf(std::string_view name)
{
    return std::hash<std::string_view>{}(name);
}

std::size_t CSymbolTable::slotOf(std::string_view name, std::uint64_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot& entry = m_slots[slot];
        if (entry.symbol == nullptr || (entry.hash == hash && entry.symbol->m_name == name)) {
            return slot;
        }
    }
}

void CSymbolTable::growIndex()
{
    const auto old = std::move(m_slots);
    m_slots.assign(old.empty() ? kInitialSlots : 2 * old.size(), Slot{});
    const std::size_t mask = m_slots.size() - 1;
    // The names are distinct, so each entry goes to the first empty slot
    // of its probe sequence without reading the records.
    for (const Slot& entry : old) {
        if (entry.symbol == nullptr) {
            continue;
        }
        std::size_t slot = entry.hash & mask;
        while (m_slots[slot].symbol != nullptr) {
            slot = (slot + 1) & mask;
        }
        m_slots[slot] = entry;
    }
}
