#include "emitter/CMifImageWriter.h"

#include "util/NumberFormat.h"

std::string CMifImageWriter::image(const std::vector<std::uint32_t>& words, int bits) const
{
    std::string text = "WIDTH=" + std::to_string(bits) + ";\nDEPTH=" + std::to_string(words.size()) +
                       ";\n\nADDRESS_RADIX=DEC;\nDATA_RADIX=BIN;\n\nCONTENT BEGIN\n";
    for (std::size_t address = 0; address < words.size(); ++address) {
        text += "    ";
        NumberFormat::AppendDecimal(text, static_cast<std::int64_t>(address));
        text += " : ";
        NumberFormat::AppendBin(text, words[address], bits);
        text += ";\n";
    }
    return text + "END;\n";
}
