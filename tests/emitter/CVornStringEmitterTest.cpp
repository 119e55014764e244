#include <gtest/gtest.h>

#include "core/CToken.h"
#include "emitter/CVornStringEmitter.h"
#include "support/BackEndHarness.h"

using namespace backend;

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kRomHead = "architecture Behavioral of instr_rom is\nbegin\n    oQ <= ";
const std::string kRomTail = "\"000000000000000\";\nend Behavioral;\n";

TEST(RomText, CodeWordsBecomeOneArchitectureBlock)
{
    BackEnd backEnd;
    CSection* code = backEnd.section(CSection::Code);
    backEnd.add(code, regs(Add, {"R1", "R2", "R3"}));
    backEnd.add(code, expr(Jmp, num(5)));
    backEnd.layout();
    EXPECT_EQ(backEnd.romText(),
              "architecture Behavioral of instr_rom is\n"
              "begin\n"
              "    oQ <= \"000001001010011\"  when iA = 0 else\n"
              "          \"010000000000101\"  when iA = 1 else\n"
              "          \"000000000000000\";\n"
              "end Behavioral;\n");
    EXPECT_EQ(backEnd.dataText(), "");
}

TEST(RomText, EverySectionKindGoesToItsOwnText)
{
    BackEnd backEnd;
    backEnd.section(CSection::Code);  // empty: a block with only the default line
    CSection* data = backEnd.section(CSection::Data);
    backEnd.add(data, expr(Word, num(0x1234)));
    backEnd.add(data, expr(Word, num(0xFFFE)));
    backEnd.add(backEnd.section(CSection::ReadOnlyData), expr(Word, num(1)));
    backEnd.m_sections.addSection("bss", CSection::NoBits, 0, "XM")->m_code = {1, 2};
    backEnd.add(backEnd.section(CSection::Data), expr(Word, num(7)));
    backEnd.layout();
    EXPECT_EQ(backEnd.romText(),
              kRomHead + kRomTail + kRomHead + "\"000000000000001\"  when iA = 0 else\n          " + kRomTail);
    EXPECT_EQ(backEnd.dataText(), "sMEM(0) <= x\"1234\";\nsMEM(1) <= x\"fffe\";\nsMEM(0) <= x\"0007\";\n");
}

TEST(RomText, OddByteCountReadsTheMissingByteAsZero)
{
    // Both append to what the text already holds.
    std::string rom = "-";
    std::string data = "-";
    CVornStringEmitter::appendRomText({0x41}, rom);
    CVornStringEmitter::appendDataText({0x12, 0x34, 0xAB}, data);
    EXPECT_EQ(rom, "-" + kRomHead + "\"010000010000000\"  when iA = 0 else\n          " + kRomTail);
    EXPECT_EQ(data, "-sMEM(0) <= x\"1234\";\nsMEM(1) <= x\"ab00\";\n");
}

struct FixupCase {
    const char* name;
    Bytes code;
    std::uint32_t value;
    std::int32_t offset;
    std::int32_t addend;
    std::int32_t kind;
    Bytes patched;
};

// Test names show the case's name, not its bytes.
void PrintTo(const FixupCase& c, std::ostream* os)
{
    *os << c.name;
}

class FixupPatching : public testing::TestWithParam<FixupCase> {};

TEST_P(FixupPatching, WordAddressGoesIntoTheLowNineBits)
{
    const FixupCase& c = GetParam();
    CSymbol symbol;
    symbol.m_value = c.value;
    CSection section;
    section.m_code = c.code;
    section.m_fixups.push_back({&symbol, c.offset, c.kind, c.addend, 0});
    EXPECT_EQ(CVornStringEmitter::patchedCode(section), c.patched);
    EXPECT_EQ(section.m_code, c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixupPatching,
    testing::Values(FixupCase{"word_10", {0x40, 0x00}, 20, 0, 0, 0, {0x40, 0x0A}},
                    FixupCase{"word_11_from_addend", {0x40, 0x03}, 20, 0, 3, 0, {0x40, 0x0B}},
                    FixupCase{"negative_addend", {0x40, 0x00}, 20, 0, -4, 0, {0x40, 0x08}},
                    FixupCase{"data_word_128", {0x00, 0x00}, 256, 0, 0, 0, {0x01, 0x00}},
                    FixupCase{"upper_six_bits_kept", {0xFF, 0xFF}, 0, 0, 0, 0, {0xFC, 0x00}},
                    FixupCase{"word_511", {0x00, 0x00}, 1022, 0, 0, 0, {0x03, 0x7F}},
                    FixupCase{"below_zero_wraps", {0x00, 0x00}, 0, 0, -2, 0, {0x03, 0x7F}},
                    FixupCase{"at_the_cycle_offset", {0, 0, 0x40, 0}, 6, 2, 0, 0, {0, 0, 0x40, 0x03}},
                    FixupCase{"other_kinds_skipped", {0x40, 0x00}, 20, 0, 0, 1, {0x40, 0x00}},
                    FixupCase{"last_byte_of_odd_code", {0x00, 0x00, 0x40}, 256, 2, 0, 0, {0x00, 0x00, 0x41}},
                    FixupCase{"beyond_the_code", {0x40, 0x00}, 256, 2, 0, 0, {0x40, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FixupPatching, JumpsAndDataWordsCarryLabelAddressesInTheTexts)
{
    BackEnd backEnd;
    CSection* code = backEnd.section(CSection::Code);
    for (int i = 0; i < 10; ++i) {
        backEnd.add(code, regs(Mov, {"R0", "R0"}));
    }
    backEnd.label("target", code);
    backEnd.add(code, expr(Jmp, op(TOK_PLUS, sym("target"), num(2))));
    backEnd.add(backEnd.section(CSection::Data), expr(Word, sym("target")));
    backEnd.layout();
    EXPECT_NE(backEnd.romText().find("\"010000000001011\"  when iA = 10 else"), std::string::npos);
    EXPECT_EQ(backEnd.dataText(), "sMEM(0) <= x\"000a\";\n");
    EXPECT_EQ(code->m_code[21], 0x02);  // the section keeps the unpatched constant
}

// Without a code section the ROM text is empty; the data text is not.
TEST(RomText, WithoutCodeSectionsIsEmpty)
{
    BackEnd backEnd;
    backEnd.add(backEnd.section(CSection::Data), expr(Word, num(1)));
    backEnd.layout();
    EXPECT_EQ(backEnd.romText(), "");
    EXPECT_EQ(backEnd.dataText(), "sMEM(0) <= x\"0001\";\n");
}

}  // namespace
