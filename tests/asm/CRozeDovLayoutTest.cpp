#include <gtest/gtest.h>

#include "asm/CAsmOptions.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbolTable.h"
#include "emitter/BackEndHarness.h"
#include "lexer/CPlatformDesc.h"

using namespace backend;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct FixupView {
    std::string symbol;
    std::int32_t offset;
    std::int32_t addend;
    bool operator==(const FixupView&) const = default;
};

std::vector<FixupView> fixupsOf(const CSection& section)
{
    std::vector<FixupView> views;
    for (const CFixup& fixup : section.m_fixups) {
        EXPECT_EQ(fixup.m_kind, 0);
        views.push_back({fixup.m_symbol->m_name, fixup.m_offset, fixup.m_addend});
    }
    return views;
}

// ---- packing one statement into host bytes --------------------------------

struct PackCase {
    const char* name;
    int id;
    std::vector<std::string> registers;
    double value;
    Bytes bytes;
};

class HostBytePacking : public testing::TestWithParam<PackCase> {};

TEST_P(HostBytePacking, FifteenBitWordsAreRightAlignedInTheSecondByte)
{
    const PackCase& c = GetParam();
    BackEnd backEnd;
    CSection* section = c.id == Word ? backEnd.addData() : backEnd.addCode();
    backEnd.add(section, c.registers.empty() ? expr(c.id, num(c.value)) : regs(c.id, c.registers));
    EXPECT_EQ(backEnd.layout(), "");
    EXPECT_EQ(section->m_code, c.bytes);
    EXPECT_EQ(section->cycleToAddrMap, std::vector<std::int32_t>{0});
}

INSTANTIATE_TEST_SUITE_P(Words, HostBytePacking,
                         testing::Values(PackCase{"mov", Mov, {"R1", "R2"}, 0, {0x00, 0x50}},
                                         PackCase{"add", Add, {"R7", "R0", "R5"}, 0, {0x07, 0x45}},
                                         PackCase{"st", St, {"R3", "R4"}, 0, {0xC0, 0x1C}},
                                         PackCase{"jmp", Jmp, {}, 5, {0x40, 0x05}},
                                         PackCase{"word", Word, {}, 0x1234, {0x12, 0x34}},
                                         PackCase{"negative_word", Word, {}, -2, {0xFF, 0xFE}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostBytePacking, NarrowHostBytesSplitTheWordFromTheTop)
{
    BackEnd backEnd;
    backEnd.m_common.m_platformDesc->m_hostByteBits = 4;
    CSection* code = backEnd.addCode();
    backEnd.add(code, expr(Jmp, num(5)));  // 0100 0000 0000 101
    backEnd.layout();
    EXPECT_EQ(code->m_code, (Bytes{0x4, 0x0, 0x0, 0x5}));
}

TEST(HostBytePacking, DebugDumpPrintsEachCycleOnALine)
{
    BackEnd backEnd;
    backEnd.m_common.m_options->m_debugDump = true;
    CSection* code = backEnd.addCode();
    backEnd.add(code, expr(Jmp, num(5)));
    backEnd.add(code, std::make_unique<CStatement>(150));  // no pattern: no bytes, no line
    backEnd.add(code, regs(Mov, {"R1", "R2"}));
    EXPECT_EQ(backEnd.layout(), "40 05 \n00 50 \n");
    EXPECT_EQ(code->cycleToAddrMap, (std::vector<std::int32_t>{0, 2, 2}));
}

// ---- labels, fixups and symbol values --------------------------------------

TEST(Layout, LabelsBeforeAndAfterTheirUseAndAtTheEnd)
{
    BackEnd backEnd;
    CSection* code = backEnd.addCode();
    backEnd.label("start", code);
    backEnd.add(code, regs(Mov, {"R1", "R2"}));
    backEnd.add(code, expr(Jmp, sym("end")));
    backEnd.label("loop", code);
    backEnd.add(code, expr(Jmpz, plus(sym("loop"), num(3))));
    backEnd.add(code, expr(Jmp, minus(sym("start"), num(4))));
    backEnd.label("end", code);
    EXPECT_EQ(backEnd.layout(), "");

    EXPECT_EQ(code->cycleToAddrMap, (std::vector<std::int32_t>{0, 2, 4, 6}));
    EXPECT_EQ(code->m_code, (Bytes{0x00, 0x50, 0x40, 0x00, 0x44, 0x03, 0x43, 0x7C}));
    EXPECT_EQ(fixupsOf(*code), (std::vector<FixupView>{{"end", 2, 0}, {"loop", 4, 3}, {"start", 6, -4}}));
    const std::pair<const char*, std::uint32_t> values[] = {{"start", 0}, {"loop", 4}, {"end", 8}};
    for (const auto& [name, value] : values) {
        const CSymbol* symbol = backEnd.symbols().find(name);
        EXPECT_EQ(symbol->m_value, value) << name;
        EXPECT_TRUE(symbol->m_referenced) << name;
    }
}

TEST(Layout, EverySectionCountsFromZeroAndDataCyclesAreRenumbered)
{
    BackEnd backEnd;
    CSection* first = backEnd.addCode();
    backEnd.add(first, regs(Mov, {"R1", "R2"}));
    backEnd.label("first_end", first);
    backEnd.add(first, regs(Mov, {"R1", "R2"}));
    CSection* data = backEnd.addData();
    backEnd.add(data, expr(Word, num(1)));
    backEnd.label("table", data);
    backEnd.add(data, expr(Word, plus(sym("first_end"), num(1))));
    backEnd.add(data, expr(Word, sym("second")));
    for (const auto& [statement, cycle] : {std::pair{0, 5}, {1, 5}, {2, 9}}) {
        data->m_statements[static_cast<std::size_t>(statement)]->m_cycle = cycle;
    }
    CSection* second = backEnd.addCode();
    backEnd.label("second", second);
    backEnd.add(second, expr(Jmp, sym("table")));
    EXPECT_EQ(backEnd.layout(), "");

    EXPECT_EQ(data->cycleToAddrMap, (std::vector<std::int32_t>{0, 2, 4}));
    for (std::size_t i = 0; i < data->m_statements.size(); ++i) {
        EXPECT_EQ(data->m_statements[i]->m_cycle, static_cast<std::int32_t>(i));
    }
    EXPECT_EQ(fixupsOf(*data), (std::vector<FixupView>{{"first_end", 2, 1}, {"second", 4, 0}}));
    EXPECT_EQ(fixupsOf(*second), (std::vector<FixupView>{{"table", 0, 0}}));
    EXPECT_EQ(backEnd.symbols().find("first_end")->m_value, 2u);
    EXPECT_EQ(backEnd.symbols().find("table")->m_value, 2u);
    EXPECT_EQ(backEnd.symbols().find("second")->m_value, 0u);
}

TEST(Layout, SeveralReferencesInOneCycleGiveFixupsInOperandOrder)
{
    BackEnd backEnd;
    CSection* data = backEnd.addData();
    backEnd.add(data, expr(Word, num(0)));
    backEnd.label("a", data);
    backEnd.label("b", data);
    auto statement = expr(Word, plus(sym("a"), num(1)));
    statement->addOperand(std::make_unique<CSymExpOperand>(sym("b")), CStatement::Source);
    backEnd.add(data, std::move(statement));
    backEnd.layout();
    EXPECT_EQ(fixupsOf(*data), (std::vector<FixupView>{{"a", 2, 1}, {"b", 2, 0}}));
}

TEST(Layout, SectionsWithoutStatementsOrWithOtherKindsStayUntouched)
{
    BackEnd backEnd;
    CSection* empty = backEnd.addCode();
    empty->m_code = {1, 2};
    CSymbol* here = backEnd.label("here", empty);
    here->m_value = 77;
    CSection* noBits = backEnd.m_common.m_sections->addSection("bss", CSection::NoBits, 0, "XM");
    noBits->m_statements.push_back(regs(Mov, {"R1", "R2"}));
    EXPECT_EQ(backEnd.layout(), "");
    EXPECT_EQ(empty->m_code, (Bytes{1, 2}));
    EXPECT_EQ(here->m_value, 77u);
    EXPECT_TRUE(noBits->m_code.empty());
    EXPECT_TRUE(noBits->cycleToAddrMap.empty());
}

TEST(Layout, SymbolOfTheSectionsNameAndTypeGetsItsSize)
{
    BackEnd backEnd;
    CSection* code = backEnd.addCode();
    backEnd.add(code, regs(Mov, {"R1", "R2"}));
    backEnd.add(code, regs(Mov, {"R1", "R2"}));
    CSymbol sectionSymbol;
    sectionSymbol.m_name = "main";
    sectionSymbol.m_section = code;
    sectionSymbol.m_type = 1;
    backEnd.symbols().addSymbol(sectionSymbol);
    backEnd.label("Main", code)->m_type = 2;  // name differs in case
    backEnd.layout();
    EXPECT_EQ(backEnd.symbols().find("main")->m_size, 4u);
    EXPECT_EQ(backEnd.symbols().find("Main")->m_size, 0u);
}

TEST(Layout, SymbolWithoutSectionIsReferencedWithValueZero)
{
    BackEnd backEnd;
    backEnd.label("outside", nullptr);
    CSection* code = backEnd.addCode();
    backEnd.add(code, expr(Jmp, sym("outside")));
    EXPECT_EQ(backEnd.layout(), "");
    EXPECT_EQ(fixupsOf(*code), (std::vector<FixupView>{{"outside", 0, 0}}));
    EXPECT_EQ(backEnd.symbols().find("outside")->m_value, 0u);
}

// ---- references that cannot be resolved ------------------------------------

TEST(Layout, EveryUndefinedReferenceIsReported)
{
    BackEnd backEnd;
    CSection* code = backEnd.addCode();
    backEnd.label("start", code);
    backEnd.add(code, expr(Jmp, sym("nowhere")), 3);
    backEnd.add(code, expr(Jmp, sym("Start")), 4);
    backEnd.add(code, expr(Jmpz, plus(sym("nowhere"), num(1))), 5);
    const std::string output = backEnd.layout();

    EXPECT_NE(output.find("Error in \"prog.s\", line 3: error #1315: Referencing undefined symbol nowhere.\n\n"),
              std::string::npos);
    std::vector<std::pair<int, std::string>> reported;
    for (const auto& message : backEnd.diagnostics().reported()) {
        EXPECT_EQ(message.code, 1315);
        reported.emplace_back(message.line, message.text);
    }
    EXPECT_EQ(reported, (std::vector<std::pair<int, std::string>>{{3, "Referencing undefined symbol nowhere."},
                                                                   {4, "Referencing undefined symbol Start."},
                                                                   {5, "Referencing undefined symbol nowhere."}}));
    EXPECT_TRUE(code->m_fixups.empty());
    EXPECT_EQ(code->m_code.size(), 6u);
}

TEST(Layout, ExpressionThatDoesNotEvaluateIsReported)
{
    BackEnd backEnd;
    backEnd.label("a", nullptr);
    CSection* code = backEnd.addCode();
    backEnd.add(code, expr(Jmp, plus(sym("a"), sym("a"))), 7);
    backEnd.layout();
    ASSERT_EQ(backEnd.diagnostics().reported().size(), 1u);
    EXPECT_EQ(backEnd.diagnostics().reported()[0].code, 1312);
    EXPECT_EQ(backEnd.diagnostics().reported()[0].line, 7);
}

}  // namespace
