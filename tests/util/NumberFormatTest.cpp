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

}  // namespace
