#include <gtest/gtest.h>

#include "emitter/CLstEmitter.h"
#include "support/BackEndHarness.h"

using namespace backend;

namespace {

TEST(Listing, WithoutSymbolsOrSectionsOnlyTheHeadingsRemain)
{
    BackEnd backEnd;
    EXPECT_EQ(backEnd.listing(), "SYMBOL TABLE:\n\n\n\nSECTIONS:\n");
}

TEST(Listing, SymbolTableThenEveryCycleWithoutFixups)
{
    BackEnd backEnd;
    backEnd.label("early", nullptr);
    CSection* code = backEnd.section(CSection::Code);
    backEnd.label("loop", code);
    backEnd.add(code, regs(Mov, {"R1", "R2"}));
    backEnd.add(code, expr(Jmp, sym("loop")));
    code->m_lstLines = {"loop : mov r1 , r2 \n", "jmp loop \n"};
    backEnd.add(backEnd.section(CSection::Data), expr(Word, num(0x1234)));
    backEnd.m_sections.addSection("bss", CSection::NoBits, 0, "XM")->m_lstLines = {"hidden"};
    backEnd.section(CSection::Code);
    backEnd.layout();
    EXPECT_EQ(backEnd.listing(),
              "SYMBOL TABLE:\n"
              "Sym: name=early value=0 size=0 bind=0 type=0 section=0\n"
              "Sym: name=loop value=0 size=0 bind=0 type=0 section=main\n"
              "\n\n\nSECTIONS:\n"
              "loop : mov r1 , r2 \n /* 0x0 | 0x50 */ \n\n"
              "jmp loop \n /* 0x2 | 0x4000 */ \n\n"
              "\n\n\n"   // the code section
              "\n\n\n"   // the data section, without listing texts
              "\n\n\n"); // the empty code section
}

struct SectionCase {
    const char* name;
    std::vector<std::uint8_t> code;
    std::vector<std::int32_t> map;
    std::vector<std::string> texts;
    const char* lines;
};

// Test names show the case's name, not its bytes.
void PrintTo(const SectionCase& c, std::ostream* os)
{
    *os << c.name;
}

class ListingLines : public testing::TestWithParam<SectionCase> {};

TEST_P(ListingLines, OffsetAndBytesOfEachCycleStayInsideTheCode)
{
    const SectionCase& c = GetParam();
    CSection section;
    section.m_code = c.code;
    section.cycleToAddrMap = c.map;
    section.m_lstLines.assign(c.texts.begin(), c.texts.end());
    std::string out = "before\n";
    CLstEmitter::appendSectionLines(section, out);
    EXPECT_EQ(out, "before\n" + std::string(c.lines));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListingLines,
    testing::Values(
        SectionCase{"two_bytes", {0, 0, 0x40, 0x05}, {0, 2}, {"A", "T"}, "A /* 0x0 | 0x0 */ \n\nT /* 0x2 | 0x4005 */ \n\n"},
        SectionCase{"three_and_four_bytes", {1, 2, 3, 4, 5, 6, 7}, {0, 3}, {"A", "B"},
                    "A /* 0x0 | 0x10203 */ \n\nB /* 0x3 | 0x4050607 */ \n\n"},
        SectionCase{"cycle_without_bytes", {0xC0, 0x1C}, {0, 0}, {"A", "B"}, "A /* 0x0 | 0x0 */ \n\nB /* 0x0 | 0xc01c */ \n\n"},
        SectionCase{"more_texts_than_cycles", {0x12, 0x34}, {0}, {"A", "B"}, "A /* 0x0 | 0x1234 */ \n\nB /* 0x2 | 0x0 */ \n\n"},
        SectionCase{"offsets_outside_the_code", {0x12, 0x34}, {5, -1}, {"A", "B"},
                    "A /* 0x2 | 0x0 */ \n\nB /* 0x0 | 0x1234 */ \n\n"},
        SectionCase{"more_than_eight_bytes", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0}, {"A"},
                    "A /* 0x0 | 0x10203040506070809 */ \n\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
