#include <gtest/gtest.h>

#include "core/CToken.h"
#include "support/BackEndHarness.h"
#include "support/InProcessAssembly.h"

using namespace backend;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Map = std::vector<std::int32_t>;

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

// What the program prints of the messages layout reported.
testsupport::RunResult printedMessages(const BackEnd& backEnd)
{
    CAssemblyResult result;
    result.diagnostics = backEnd.m_diagnostics.diagnostics();
    result.report = backEnd.m_diagnostics.items();
    result.files = backEnd.m_files.names();
    return testsupport::printed(result);
}

// Each cycle packs into host bytes: a 15-bit word as its first eight bits and
// then its last seven, right-aligned.
TEST(HostBytePacking, NarrowHostBytesAndTheDebugDump)
{
    BackEnd backEnd;
    CSection* code = backEnd.section(CSection::Code);
    backEnd.add(code, expr(Jmp, num(5)));
    backEnd.add(code, std::make_unique<CStatement>(150));  // no pattern: no bytes, no line
    backEnd.add(code, regs(Mov, {"R1", "R2"}));
    EXPECT_EQ(backEnd.layout(true), "40 05 \n00 50 \n");
    EXPECT_EQ(code->cycleToAddrMap, (Map{0, 2, 2}));

    BackEnd narrow;
    narrow.m_platform.m_hostByteBits = 4;
    CSection* split = narrow.section(CSection::Code);
    narrow.add(split, expr(Jmp, num(5)));  // 0100 0000 0000 101
    narrow.layout();
    EXPECT_EQ(split->m_code, (Bytes{0x4, 0x0, 0x0, 0x5}));
}

TEST(Layout, LabelsBeforeAndAfterTheirUseAndAtTheEnd)
{
    BackEnd backEnd;
    backEnd.label("outside", nullptr);
    CSection* code = backEnd.section(CSection::Code);
    backEnd.label("start", code);
    backEnd.add(code, expr(Jmp, sym("outside")));
    backEnd.add(code, expr(Jmp, sym("end")));
    backEnd.label("loop", code);
    backEnd.add(code, expr(Jmpz, op(TOK_PLUS, sym("loop"), num(3))));
    backEnd.add(code, expr(Jmp, op(TOK_MINUS, sym("start"), num(4))));
    backEnd.label("end", code);
    CSymbol sectionSymbol;  // named like its section, of type 1: gets the size
    sectionSymbol.m_name = "main";
    sectionSymbol.m_section = code;
    sectionSymbol.m_type = 1;
    backEnd.m_symbols.addSymbol(sectionSymbol);
    EXPECT_EQ(backEnd.layout(), "");

    EXPECT_EQ(code->cycleToAddrMap, (Map{0, 2, 4, 6}));
    EXPECT_EQ(code->m_code, (Bytes{0x40, 0x00, 0x40, 0x00, 0x44, 0x03, 0x43, 0x7C}));
    EXPECT_EQ(fixupsOf(*code),
              (std::vector<FixupView>{{"outside", 0, 0}, {"end", 2, 0}, {"loop", 4, 3}, {"start", 6, -4}}));
    const std::tuple<const char*, std::uint32_t, std::uint32_t> expected[] = {
        {"outside", 0, 0}, {"start", 0, 0}, {"loop", 4, 0}, {"end", 8, 0}, {"main", 0, 8}};
    for (const auto& [name, value, size] : expected) {
        const CSymbol* symbol = backEnd.m_symbols.find(name);
        EXPECT_EQ(symbol->m_value, value) << name;
        EXPECT_EQ(symbol->m_size, size) << name;
        EXPECT_EQ(symbol->m_referenced, std::string(name) != "main") << name;
    }
}

TEST(Layout, SectionsCountFromZeroAndDataWordsAreTheirOwnCycles)
{
    BackEnd backEnd;
    CSection* first = backEnd.section(CSection::Code);
    backEnd.add(first, regs(Mov, {"R1", "R2"}));
    backEnd.label("first_end", first);
    backEnd.add(first, regs(Mov, {"R1", "R2"}));
    CSection* data = backEnd.section(CSection::Data);
    backEnd.add(data, expr(Word, num(1)));
    backEnd.label("table", data);
    auto twoReferences = expr(Word, op(TOK_PLUS, sym("first_end"), num(1)));
    twoReferences->addOperand(std::make_unique<CSymExpOperand>(sym("table")), CStatement::Source);
    backEnd.add(data, std::move(twoReferences));
    backEnd.add(data, expr(Word, sym("second")));
    for (const auto& [index, cycle] : {std::pair{0, 5}, {1, 5}, {2, 9}}) {
        data->m_statements[static_cast<std::size_t>(index)]->m_cycle = cycle;
    }
    CSection* second = backEnd.section(CSection::Code);
    backEnd.label("second", second);
    backEnd.add(second, expr(Jmp, sym("table")));
    EXPECT_EQ(backEnd.layout(), "");

    EXPECT_EQ(data->cycleToAddrMap, (Map{0, 2, 4}));
    EXPECT_EQ(data->m_statements[2]->m_cycle, 2);
    EXPECT_EQ(fixupsOf(*data), (std::vector<FixupView>{{"first_end", 2, 1}, {"table", 2, 0}, {"second", 4, 0}}));
    EXPECT_EQ(fixupsOf(*second), (std::vector<FixupView>{{"table", 0, 0}}));
    for (const auto& [name, value] : {std::pair{"first_end", 2u}, {"table", 2u}, {"second", 0u}}) {
        EXPECT_EQ(backEnd.m_symbols.find(name)->m_value, value) << name;
    }
}

TEST(Layout, SectionsWithoutStatementsOrOfOtherKindsStayUntouched)
{
    BackEnd backEnd;
    CSection* empty = backEnd.section(CSection::Code);
    empty->m_code = {1, 2};
    backEnd.label("here", empty)->m_value = 77;
    CSection* noBits = backEnd.m_sections.addSection("bss", CSection::NoBits, 0, "XM");
    noBits->m_statements.push_back(regs(Mov, {"R1", "R2"}));
    EXPECT_EQ(backEnd.layout(), "");
    EXPECT_EQ(empty->m_code, (Bytes{1, 2}));
    EXPECT_EQ(backEnd.m_symbols.find("here")->m_value, 77u);
    EXPECT_TRUE(noBits->m_code.empty() && noBits->cycleToAddrMap.empty());
}

TEST(Layout, EveryUnresolvableReferenceIsReported)
{
    BackEnd backEnd;
    CSection* code = backEnd.section(CSection::Code);
    backEnd.label("start", code);
    backEnd.add(code, expr(Jmp, sym("nowhere")), 3);
    backEnd.add(code, expr(Jmp, sym("Start")), 4);
    backEnd.add(code, expr(Jmpz, op(TOK_PLUS, sym("nowhere"), num(1))), 5);
    backEnd.add(code, expr(Jmp, op(TOK_PLUS, sym("start"), sym("start"))), 6);
    EXPECT_EQ(backEnd.layout(), "");
    const testsupport::RunResult printed = printedMessages(backEnd);

    EXPECT_EQ(printed.output.substr(0, printed.output.find("\n\n")),
              "Error in \"prog.s\", line 3: error #1315: Referencing undefined symbol nowhere.");
    std::vector<std::tuple<int, int, std::string>> reported;
    for (const CDiagnostic& message : backEnd.m_diagnostics.diagnostics()) {
        reported.emplace_back(message.code, message.line, message.text);
    }
    EXPECT_EQ(reported, (std::vector<std::tuple<int, int, std::string>>{
                            {1315, 3, "Referencing undefined symbol nowhere."},
                            {1315, 4, "Referencing undefined symbol Start."},
                            {1315, 5, "Referencing undefined symbol nowhere."},
                            {1312, 6, "Wrong symbol usage in the expression."}}));
    EXPECT_TRUE(code->m_fixups.empty());
    EXPECT_EQ(code->m_code.size(), 8u);
}

}  // namespace
