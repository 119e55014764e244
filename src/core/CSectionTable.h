#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CSection.h"

// The sections of one run in creation order; records never move.
class CSectionTable {
public:
    // Appends a new section (type and flags derived from the kind) and
    // returns it; a name may occur several times.
    CSection* addSection(const std::string& name, int kind, int origin, const std::string& memory);

    const std::vector<std::unique_ptr<CSection>>& sections() const { return m_sections; }

private:
    std::vector<std::unique_ptr<CSection>> m_sections;
};
