#include "emitter/CReadmemImageWriter.h"

#include "util/NumberFormat.h"

std::string CReadmemImageWriter::image(const std::vector<std::uint32_t>& words, int bits) const
{
    std::string text;
    for (std::uint32_t word : words) {
        if (m_radix == 16) {
            NumberFormat::AppendHexDigits(text, word, 4);
        } else {
            NumberFormat::AppendBin(text, word, bits);
        }
        text += '\n';
    }
    return text;
}
