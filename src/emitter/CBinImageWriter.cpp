#include "emitter/CBinImageWriter.h"

std::string CBinImageWriter::image(const std::vector<std::uint32_t>& words, int /*bits*/) const
{
    std::string bytes;
    bytes.reserve(2 * words.size());
    for (std::uint32_t word : words) {
        bytes += static_cast<char>((word >> 8) & 0xFF);
        bytes += static_cast<char>(word & 0xFF);
    }
    return bytes;
}
