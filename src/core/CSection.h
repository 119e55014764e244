#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/CFixup.h"

class CStatement;

// One section: its statements from the parser, its laid-out code, cycle
// offsets and fixups from layout, and its listing texts.
class CSection {
public:
    enum Kind { NoBits = 1, Code = 2, Data = 3, ReadOnlyData = 4 };

    CSection();
    ~CSection();
    CSection(const CSection&) = delete;
    CSection& operator=(const CSection&) = delete;

    // Whether the emitters write this section: it has a kind, and holds bits.
    bool isEmitted() const { return m_kind != 0 && m_kind != NoBits; }
    // Whether it holds data words rather than instructions.
    bool isData() const { return m_kind == Data || m_kind == ReadOnlyData; }

    std::string m_name;
    std::int32_t m_index = 0;
    std::int32_t m_origin = 0;
    std::int32_t m_reserved1 = 0;
    std::int32_t m_reserved2 = 0;
    std::vector<std::uint8_t> m_code;
    std::string m_memory;
    std::vector<CFixup> m_fixups;
    std::int32_t m_kind = 0;
    std::int32_t m_sectionType = 0;
    std::int32_t m_sectionFlags = 0;
    std::int32_t m_reserved3 = 0;
    std::int32_t m_reserved4 = 0;
    std::vector<std::unique_ptr<CStatement>> m_statements;
    std::vector<std::int32_t> cycleToAddrMap;
    std::vector<std::string> m_lstLines;
};
