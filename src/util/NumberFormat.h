#pragma once

#include <cstdint>
#include <string>

// Number texts used by the emitters.
namespace NumberFormat {

// The decimal digits of the value, with "-" for negatives, appended to `text`.
void AppendDecimal(std::string& text, std::int64_t value);
// "0x" followed by the lower-case hexadecimal digits without leading zeros.
std::string ToHex(std::uint64_t value);
// The same text appended to `text`.
void AppendHex(std::string& text, std::uint64_t value);
// Exactly `digits` lower-case hexadecimal digits (left-filled with "0",
// cut to the last digits when longer), with "0x" in front when asked.
std::string ToHex(std::uint64_t value, int digits, bool prefix = false);
// The digits alone, appended to `text`.
void AppendHexDigits(std::string& text, std::uint64_t value, int digits);
// The value of a hexadecimal digit ("0"-"9", "a"-"f", "A"-"F"); -1 for any other byte.
int HexDigitValue(char c);
// The lowest `bits` bits of the value as "0"/"1", most significant first.
std::string ToBin(std::uint64_t value, int bits);
// The same text appended to `text`.
void AppendBin(std::string& text, std::uint64_t value, int bits);

}  // namespace NumberFormat
