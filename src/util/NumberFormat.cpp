#include "util/NumberFormat.h"

#include <array>
#include <charconv>

namespace NumberFormat {

namespace {
constexpr char kHexDigits[] = "0123456789abcdef";

// The eight binary digits of every byte value, most significant first.
constexpr std::array<std::array<char, 8>, 256> makeByteDigits()
{
    std::array<std::array<char, 8>, 256> digits{};
    for (std::size_t value = 0; value < digits.size(); ++value) {
        for (std::size_t bit = 0; bit < 8; ++bit) {
            digits[value][bit] = ((value >> (7 - bit)) & 1U) != 0 ? '1' : '0';
        }
    }
    return digits;
}

constexpr std::array<std::array<char, 8>, 256> kByteDigits = makeByteDigits();
}

void AppendDecimal(std::string& text, std::int64_t value)
{
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    text.append(digits.data(), result.ptr);
}

std::string ToHex(std::uint64_t value)
{
    std::string text;
    AppendHex(text, value);
    return text;
}

void AppendHex(std::string& text, std::uint64_t value)
{
    char digits[16];
    std::size_t count = 0;
    do {
        digits[count++] = kHexDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    text += "0x";
    while (count > 0) {
        text += digits[--count];
    }
}

std::string ToHex(std::uint64_t value, int digits, bool prefix)
{
    std::string text = prefix ? "0x" : "";
    AppendHexDigits(text, value, digits);
    return text;
}

void AppendHexDigits(std::string& text, std::uint64_t value, int digits)
{
    const std::size_t start = text.size();
    text.append(static_cast<std::size_t>(digits > 0 ? digits : 0), '0');
    for (int i = digits - 1; i >= 0 && value != 0; --i) {
        text[start + static_cast<std::size_t>(i)] = kHexDigits[value & 0xF];
        value >>= 4;
    }
}

std::string ToBin(std::uint64_t value, int bits)
{
    std::string text;
    AppendBin(text, value, bits);
    return text;
}

void AppendBin(std::string& text, std::uint64_t value, int bits)
{
    // Fields of a byte or less, the common case, come whole from a table.
    if (bits > 0 && bits <= 8) {
        const auto& digits = kByteDigits[value & 0xFFU];
        text.append(digits.data() + (8 - bits), static_cast<std::size_t>(bits));
        return;
    }
    const std::size_t start = text.size();
    text.append(static_cast<std::size_t>(bits > 0 ? bits : 0), '0');
    char* digits = text.data() + start;
    for (int bit = bits - 1; bit >= 0; --bit, ++digits) {
        if (bit < 64 && ((value >> bit) & 1U) != 0) {
            *digits = '1';
        }
    }
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace NumberFormat
