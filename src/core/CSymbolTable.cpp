#include "core/CSymbolTable.h"

namespace {
// A student's program has a few dozen labels; large generated ones grow the index.
constexpr std::size_t kExpectedSymbols = 256;
}  // namespace

CSymbolTable::CSymbolTable()
{
    m_index.reserve(kExpectedSymbols);
}

bool CSymbolTable::addSymbol(const CSymbol& symbol)
{
    const auto found = m_index.find(symbol.m_name);
    if (found == m_index.end()) {
        m_symbols.push_back(std::make_unique<CSymbol>(symbol));
        CSymbol* record = m_symbols.back().get();
        m_index.emplace(record->m_name, record);
        return true;
    }
    CSymbol* record = found->second;
    if (record->m_section != nullptr || symbol.m_section == nullptr) {
        return false;
    }
    // The key views the record's name: re-keyed, since the record is overwritten.
    m_index.erase(found);
    *record = symbol;
    m_index.emplace(record->m_name, record);
    return true;
}

CSymbol* CSymbolTable::find(std::string_view name) const
{
    const auto found = m_index.find(name);
    return found == m_index.end() ? nullptr : found->second;
}
