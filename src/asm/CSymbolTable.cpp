#include "asm/CSymbolTable.h"

bool CSymbolTable::addSymbol(const CSymbol& symbol)
{
    CSymbol* existing = find(symbol.m_name);
    if (existing == nullptr) {
        m_symbols.push_back(std::make_unique<CSymbol>(symbol));
        m_byName.emplace(symbol.m_name, m_symbols.back().get());
        return true;
    }
    if (existing->m_section != nullptr || symbol.m_section == nullptr) {
        return false;
    }
    *existing = symbol;
    return true;
}

CSymbol* CSymbolTable::find(const std::string& name) const
{
    auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : found->second;
}
