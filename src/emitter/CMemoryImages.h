#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CSectionTable;

// One memory as the hardware sees it after loading: every word, its width.
struct CMemoryImage {
    enum Kind { Code, Data };
    Kind kind;
    int bits;
    std::vector<std::uint32_t> words;
};

// The two memories: every word of the instruction ROM (15 bits) and of the
// data memory (16 bits), fixups applied, words no section writes 0. Where
// several sections of one kind exist, a later one's words replace an earlier
// one's at the same address, as the VHDL texts effectively do; words beyond
// the memory are left out.
struct CMemoryImages {
    static constexpr std::size_t kWords = 512;

    CMemoryImage code{CMemoryImage::Code, 15, std::vector<std::uint32_t>(kWords, 0)};
    CMemoryImage data{CMemoryImage::Data, 16, std::vector<std::uint32_t>(kWords, 0)};

    static CMemoryImages fromSections(const CSectionTable& sections);
    // The word whose bytes start at offset: code words are 8 + 7 bits, data
    // words 8 + 8; bytes past the end read as 0.
    static std::uint32_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset, bool data);
};

// A file format for memory images: its name for --format, its file name
// extension, and the writer of one image's file.
struct CImageFormat {
    const char* name;
    const char* extension;
    std::string (*write)(const CMemoryImage& image);
};

// The formats, in the order of the help text.
std::span<const CImageFormat> imageFormats();
// The format of that name, or null.
const CImageFormat* findImageFormat(std::string_view name);
