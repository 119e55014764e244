#include "core/CSymbol.h"

#include "core/CSection.h"

std::string CSymbol::dumpLine() const
{
    std::string line = "Sym: name=" + m_name;
    line += " value=" + std::to_string(m_value);
    line += " size=" + std::to_string(m_size);
    line += " bind=" + std::to_string(unsigned{m_bind});
    line += " type=" + std::to_string(unsigned{m_type});
    line += " section=";
    line += m_section != nullptr ? m_section->m_name : std::string("0");
    return line;
}
