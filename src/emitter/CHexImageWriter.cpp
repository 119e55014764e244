#include "emitter/CHexImageWriter.h"

#include <array>

#include "util/NumberFormat.h"

namespace {
constexpr std::uint8_t kDataRecord = 0x00;
constexpr const char* kEndOfFile = ":00000001FF\n";

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
}  // namespace

std::string CHexImageWriter::image(const std::vector<std::uint32_t>& words, int /*bits*/) const
{
    std::string text;
    for (std::size_t address = 0; address < words.size(); ++address) {
        const std::array<std::uint8_t, 6> record = {
            2,
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address & 0xFF),
            kDataRecord,
            static_cast<std::uint8_t>(words[address] >> 8),
            static_cast<std::uint8_t>(words[address] & 0xFF),
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
    return text + kEndOfFile;
}
