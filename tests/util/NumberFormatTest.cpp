#include <gtest/gtest.h>

#include "util/NumberFormat.h"

namespace {

TEST(NumberFormat, HexWithPrefixHasNoLeadingZeros)
{
    EXPECT_EQ(NumberFormat::ToHex(0), "0x0");
    EXPECT_EQ(NumberFormat::ToHex(2), "0x2");
    EXPECT_EQ(NumberFormat::ToHex(0x4005), "0x4005");
    EXPECT_EQ(NumberFormat::ToHex(0xFFFFFFFFFFFFFFFFULL), "0xffffffffffffffff");
}

TEST(NumberFormat, FixedWidthHexIsFilledAndCut)
{
    EXPECT_EQ(NumberFormat::ToHex(0xF, 2), "0f");
    EXPECT_EQ(NumberFormat::ToHex(0x1234, 2), "34");
    EXPECT_EQ(NumberFormat::ToHex(0xAB, 4, true), "0x00ab");
}

TEST(NumberFormat, BinaryKeepsTheLowestBits)
{
    EXPECT_EQ(NumberFormat::ToBin(5, 9), "000000101");
    EXPECT_EQ(NumberFormat::ToBin(600, 9), "001011000");
    EXPECT_EQ(NumberFormat::ToBin(static_cast<std::uint64_t>(-1), 9), "111111111");
    EXPECT_EQ(NumberFormat::ToBin(1, 0), "");
}

// Fields of up to eight bits, as the ROM text and the register fields use.
TEST(NumberFormat, NarrowBinaryFieldsKeepTheLowestBits)
{
    struct Case {
        std::uint64_t value;
        int bits;
        const char* digits;
    };
    const Case cases[] = {{5, 3, "101"},        {0xAB, 8, "10101011"}, {0x1AB, 8, "10101011"},
                          {0xFF, 7, "1111111"}, {0x80, 7, "0000000"},  {0x80, 8, "10000000"},
                          {2, 1, "0"},          {3, 1, "1"},           {static_cast<std::uint64_t>(-2), 4, "1110"}};
    for (const Case& c : cases) {
        std::string text = "x";
        NumberFormat::AppendBin(text, c.value, c.bits);
        EXPECT_EQ(text, std::string("x") + c.digits) << c.value << " in " << c.bits;
    }
}

}  // namespace
