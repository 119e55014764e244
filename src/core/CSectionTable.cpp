#include "core/CSectionTable.h"

namespace {
// ELF section type and flags for each section kind.
struct KindAttributes {
    int kind;
    int type;
    int flags;
};

constexpr KindAttributes kKindAttributes[] = {
    {CSection::NoBits, 8, 2},
    {CSection::Code, 1, 6},
    {CSection::Data, 1, 3},
    {CSection::ReadOnlyData, 1, 2},
};
}  // namespace

CSection* CSectionTable::addSection(const std::string& name, int kind, int origin, const std::string& memory)
{
    auto section = std::make_unique<CSection>();
    section->m_name = name;
    section->m_kind = kind;
    for (const KindAttributes& attributes : kKindAttributes) {
        if (attributes.kind == kind) {
            section->m_sectionType = attributes.type;
            section->m_sectionFlags = attributes.flags;
        }
    }
    section->m_index = 2 + static_cast<int>(m_sections.size());
    section->m_origin = origin;
    section->m_memory = memory;
    m_sections.push_back(std::move(section));
    return m_sections.back().get();
}
