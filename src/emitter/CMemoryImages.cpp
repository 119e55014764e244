#include "emitter/CMemoryImages.h"

#include <array>
#include <string_view>

#include "core/CSectionTable.h"
#include "emitter/CVornStringEmitter.h"
#include "util/NumberFormat.h"

CMemoryImages CMemoryImages::fromSections(const CSectionTable& sections)
{
    CMemoryImages images;
    for (const auto& section : sections.sections()) {
        if (!section->isEmitted()) {
            continue;
        }
        // The same split as the texts: data sections to sMEM, the rest to the ROM.
        const bool data = section->m_kind == CSection::Data;
        std::vector<std::uint32_t>& memory = data ? images.data.words : images.code.words;
        const std::vector<std::uint8_t> bytes = CVornStringEmitter::patchedCode(*section);
        for (std::size_t k = 0; 2 * k < bytes.size() && k < kWords; ++k) {
            memory[k] = wordAt(bytes, 2 * k, data);
        }
    }
    return images;
}

std::uint32_t CMemoryImages::wordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset, bool data)
{
    const std::uint32_t high = offset < bytes.size() ? bytes[offset] : 0;
    const std::uint32_t low = offset + 1 < bytes.size() ? bytes[offset + 1] : 0;
    return data ? (high << 8) | low : ((high << 7) | (low & 0x7F)) & 0x7FFF;
}

namespace {
constexpr std::string_view kVhdlLibrary = "library ieee;\nuse ieee.std_logic_1164.all;\n\n";

constexpr std::string_view kVhdlRomHead =
    "entity instr_rom is\n"
    "    port (iA : in integer range 0 to 511;\n"
    "          oQ : out std_logic_vector(14 downto 0));\n"
    "end instr_rom;\n"
    "\n"
    "architecture rom of instr_rom is\n"
    "    type t_rom is array (0 to 511) of std_logic_vector(14 downto 0);\n"
    "    constant ROM : t_rom := (\n";
constexpr std::string_view kVhdlRomTail =
    "    );\n"
    "begin\n"
    "    oQ <= ROM(iA);\n"
    "end rom;\n";

constexpr std::string_view kVhdlDataHead =
    "package vorn_data is\n"
    "    type t_mem is array (0 to 511) of std_logic_vector(15 downto 0);\n"
    "    constant DATA_INIT : t_mem := (\n";
constexpr std::string_view kVhdlDataTail =
    "    );\n"
    "end vorn_data;\n";

constexpr std::uint8_t kHexDataRecord = 0x00;
constexpr std::string_view kHexEndOfFile = ":00000001FF\n";

// Complete VHDL-93 design files that analyse alone: the code as the entity
// instr_rom reading a constant array (synthesis infers a ROM), the data as
// the package vorn_data with the type t_mem and the constant DATA_INIT.
std::string writeVhdl(const CMemoryImage& image)
{
    const bool code = image.kind == CMemoryImage::Code;
    std::string text(kVhdlLibrary);
    text += code ? kVhdlRomHead : kVhdlDataHead;
    for (std::size_t k = 0; k < image.words.size(); ++k) {
        text += "        ";
        NumberFormat::AppendDecimal(text, static_cast<std::int64_t>(k));
        text += code ? " => \"" : " => x\"";
        if (code) {
            NumberFormat::AppendBin(text, image.words[k], image.bits);
        } else {
            NumberFormat::AppendHexDigits(text, image.words[k], 4);
        }
        text += k + 1 < image.words.size() ? "\",\n" : "\"\n";
    }
    return text += code ? kVhdlRomTail : kVhdlDataTail;
}

// Memory Initialization File for Intel/Altera memories: WIDTH, DEPTH,
// decimal addresses, binary words.
std::string writeMif(const CMemoryImage& image)
{
    std::string text = "WIDTH=" + std::to_string(image.bits) + ";\nDEPTH=" + std::to_string(image.words.size()) +
                       ";\n\nADDRESS_RADIX=DEC;\nDATA_RADIX=BIN;\n\nCONTENT BEGIN\n";
    for (std::size_t address = 0; address < image.words.size(); ++address) {
        text += "    ";
        NumberFormat::AppendDecimal(text, static_cast<std::int64_t>(address));
        text += " : ";
        NumberFormat::AppendBin(text, image.words[address], image.bits);
        text += ";\n";
    }
    return text + "END;\n";
}

// Xilinx coefficient file: binary radix, all words comma-separated, ";" last.
std::string writeCoe(const CMemoryImage& image)
{
    std::string text = "memory_initialization_radix=2;\nmemory_initialization_vector=\n";
    for (std::size_t address = 0; address < image.words.size(); ++address) {
        NumberFormat::AppendBin(text, image.words[address], image.bits);
        text += address + 1 < image.words.size() ? ",\n" : ";\n";
    }
    return text;
}

std::string upperHex(std::uint32_t value, int digits)
{
    std::string text = NumberFormat::ToHex(value, digits);
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// Intel HEX as Quartus reads it for 15- and 16-bit memories: one data record
// per word, its address field the word address, two data bytes high byte
// first, each with its checksum; an end-of-file record last.
std::string writeHex(const CMemoryImage& image)
{
    std::string text;
    for (std::size_t address = 0; address < image.words.size(); ++address) {
        const std::uint32_t word = image.words[address];
        const std::array<std::uint8_t, 6> record = {
            2,
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address & 0xFF),
            kHexDataRecord,
            static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(word & 0xFF),
        };
        // The checksum makes the sum of all the record's bytes 0 modulo 256.
        unsigned sum = 0;
        text += ':';
        for (std::uint8_t byte : record) {
            sum += byte;
            text += upperHex(byte, 2);
        }
        text += upperHex((0x100 - (sum & 0xFF)) & 0xFF, 2);
        text += '\n';
    }
    return text += kHexEndOfFile;
}

// Verilog $readmemh text: four hexadecimal digits a word, one a line.
std::string writeMemh(const CMemoryImage& image)
{
    std::string text;
    for (std::uint32_t word : image.words) {
        NumberFormat::AppendHexDigits(text, word, 4);
        text += '\n';
    }
    return text;
}

// Verilog $readmemb text: one binary digit a bit, one word a line.
std::string writeMemb(const CMemoryImage& image)
{
    std::string text;
    for (std::uint32_t word : image.words) {
        NumberFormat::AppendBin(text, word, image.bits);
        text += '\n';
    }
    return text;
}

// Raw binary: every word as two bytes, high byte first.
std::string writeBin(const CMemoryImage& image)
{
    std::string bytes;
    for (std::uint32_t word : image.words) {
        bytes += static_cast<char>((word >> 8) & 0xFF);
        bytes += static_cast<char>(word & 0xFF);
    }
    return bytes;
}
}  // namespace

namespace {
// The formats, as --format names them.
constexpr CImageFormat kFormats[] = {
    {"vhdl", "vhd", writeVhdl},  {"mif", "mif", writeMif},    {"coe", "coe", writeCoe}, {"hex", "hex", writeHex},
    {"memh", "memh", writeMemh}, {"memb", "memb", writeMemb}, {"bin", "bin", writeBin},
};
}  // namespace

std::span<const CImageFormat> imageFormats()
{
    return kFormats;
}

const CImageFormat* findImageFormat(std::string_view name)
{
    for (const CImageFormat& format : imageFormats()) {
        if (name == format.name) {
            return &format;
        }
    }
    return nullptr;
}
