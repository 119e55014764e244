#include "emitter/CCoeImageWriter.h"

#include "util/NumberFormat.h"

std::string CCoeImageWriter::image(const std::vector<std::uint32_t>& words, int bits) const
{
    std::string text = "memory_initialization_radix=2;\nmemory_initialization_vector=\n";
    for (std::size_t address = 0; address < words.size(); ++address) {
        NumberFormat::AppendBin(text, words[address], bits);
        text += address + 1 < words.size() ? ",\n" : ";\n";
    }
    return text;
}
