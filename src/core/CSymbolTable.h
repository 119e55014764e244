#pragma once

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/CSymbol.h"

// The symbols of one run in order of first appearance. Records never move,
// and a name index makes look-ups independent of the table's size.
class CSymbolTable {
public:
    CSymbolTable();

    // Inserts a new name, or completes an undefined record in place with a
    // defined one. Returns false (and changes nothing) when the name is
    // already defined or the new symbol is not.
    bool addSymbol(const CSymbol& symbol);

    // The record of that exact name, or null.
    CSymbol* find(std::string_view name) const;

    const std::vector<std::unique_ptr<CSymbol>>& symbols() const { return m_symbols; }

private:
    std::vector<std::unique_ptr<CSymbol>> m_symbols;
    // Keys are views of the records' names.
    std::unordered_map<std::string_view, CSymbol*> m_index;
};
