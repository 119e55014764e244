#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class CSection;

// The two memories as the hardware sees them after loading: every word of
// the instruction ROM (15 bits) and of the data memory (16 bits), fixups
// applied, words no section writes 0. Where several sections of one kind
// exist, a later one's words replace an earlier one's at the same address,
// as the VHDL texts effectively do; words beyond the memory are left out.
struct CMemoryImages {
    static constexpr std::size_t kWords = 512;
    static constexpr int kCodeBits = 15;
    static constexpr int kDataBits = 16;

    std::vector<std::uint32_t> code = std::vector<std::uint32_t>(kWords, 0);
    std::vector<std::uint32_t> data = std::vector<std::uint32_t>(kWords, 0);

    static CMemoryImages fromSections(const std::vector<std::unique_ptr<CSection>>& sections);
};
