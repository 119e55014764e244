#include "emitter/CVhdlImageWriter.h"

#include <string_view>

#include "util/NumberFormat.h"

namespace {
constexpr std::string_view kLibrary = "library ieee;\nuse ieee.std_logic_1164.all;\n\n";

constexpr std::string_view kRomHead =
    "entity instr_rom is\n"
    "    port (iA : in integer range 0 to 511;\n"
    "          oQ : out std_logic_vector(14 downto 0));\n"
    "end instr_rom;\n"
    "\n"
    "architecture rom of instr_rom is\n"
    "    type t_rom is array (0 to 511) of std_logic_vector(14 downto 0);\n"
    "    constant ROM : t_rom := (\n";
constexpr std::string_view kRomTail =
    "    );\n"
    "begin\n"
    "    oQ <= ROM(iA);\n"
    "end rom;\n";

constexpr std::string_view kDataHead =
    "package vorn_data is\n"
    "    type t_mem is array (0 to 511) of std_logic_vector(15 downto 0);\n"
    "    constant DATA_INIT : t_mem := (\n";
constexpr std::string_view kDataTail =
    "    );\n"
    "end vorn_data;\n";

// "        k => <word>," for every word, the last without the comma.
template <typename AppendWord>
void appendElements(std::string& text, const std::vector<std::uint32_t>& words, AppendWord appendWord)
{
    for (std::size_t k = 0; k < words.size(); ++k) {
        text += "        ";
        NumberFormat::AppendDecimal(text, static_cast<std::int64_t>(k));
        text += " => ";
        appendWord(text, words[k]);
        text += k + 1 < words.size() ? ",\n" : "\n";
    }
}
}  // namespace

std::string CVhdlImageWriter::codeFile(const CMemoryImages& images) const
{
    std::string text(kLibrary);
    text += kRomHead;
    appendElements(text, images.code, [](std::string& out, std::uint32_t word) {
        out += '"';
        NumberFormat::AppendBin(out, word, CMemoryImages::kCodeBits);
        out += '"';
    });
    return text += kRomTail;
}

std::string CVhdlImageWriter::dataFile(const CMemoryImages& images) const
{
    std::string text(kLibrary);
    text += kDataHead;
    appendElements(text, images.data, [](std::string& out, std::uint32_t word) {
        out += "x\"";
        NumberFormat::AppendHexDigits(out, word, 4);
        out += '"';
    });
    return text += kDataTail;
}
