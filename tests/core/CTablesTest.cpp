#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CFileIndexMap.h"
#include "core/CSectionTable.h"
#include "core/CSymbolTable.h"
#include "core/CVornOpcodeInfo.h"

namespace {

CSymbol makeSymbol(const std::string& name, CSection* section, int cycle = 0)
{
    CSymbol symbol;
    symbol.m_name = name;
    symbol.m_section = section;
    symbol.m_cycle = cycle;
    return symbol;
}

std::vector<std::string> dump(const CSymbolTable& table)
{
    std::vector<std::string> lines;
    for (const auto& symbol : table.symbols()) {
        lines.push_back(symbol->dumpLine());
    }
    return lines;
}

TEST(SymbolTable, FirstDefinitionStaysInForce)
{
    CSectionTable sections;
    CSection* text = sections.addSection("main", 2, 0, "PM");
    CSection* data = sections.addSection("data", 3, 0, "XM");
    CSymbolTable table;
    EXPECT_TRUE(table.addSymbol(makeSymbol("A", text, 1)));
    EXPECT_FALSE(table.addSymbol(makeSymbol("A", data, 5)));
    ASSERT_EQ(table.symbols().size(), 1u);
    EXPECT_EQ(table.find("A")->m_section, text);
    EXPECT_EQ(table.find("A")->getCycle(), 1);
}

TEST(SymbolTable, ReferenceIsCompletedInPlaceByItsDefinition)
{
    CSectionTable sections;
    CSection* text = sections.addSection("main", 2, 0, "PM");
    CSymbolTable table;
    EXPECT_TRUE(table.addSymbol(makeSymbol("first", text)));
    EXPECT_TRUE(table.addSymbol(makeSymbol("B", nullptr)));
    EXPECT_TRUE(table.addSymbol(makeSymbol("last", text)));
    const CSymbol* before = table.find("B");
    EXPECT_TRUE(table.addSymbol(makeSymbol("B", text, 4)));
    EXPECT_EQ(table.find("B"), before);  // the record did not move
    ASSERT_EQ(table.symbols().size(), 3u);
    EXPECT_EQ(table.symbols()[1]->m_name, "B");
    EXPECT_EQ(table.symbols()[1]->m_section, text);
    EXPECT_EQ(table.symbols()[1]->getCycle(), 4);
}

TEST(SymbolTable, SecondUndefinedSymbolIsRefused)
{
    CSymbolTable table;
    EXPECT_TRUE(table.addSymbol(makeSymbol("D", nullptr)));
    EXPECT_FALSE(table.addSymbol(makeSymbol("D", nullptr, 9)));
    EXPECT_EQ(table.find("D")->getCycle(), 0);
}

TEST(SymbolTable, NamesAreCaseSensitive)
{
    CSymbolTable table;
    table.addSymbol(makeSymbol("loop", nullptr));
    EXPECT_EQ(table.find("LOOP"), nullptr);
    EXPECT_EQ(table.find("loo"), nullptr);
    EXPECT_NE(table.find("loop"), nullptr);
}

// Thousands of names force the index to grow many times; every record must
// stay findable, in place, and completable after each growth.
TEST(SymbolTable, IndexGrowthKeepsEveryRecord)
{
    CSectionTable sections;
    CSection* text = sections.addSection("main", 2, 0, "PM");
    CSymbolTable table;
    constexpr int kNames = 5000;
    for (int i = 0; i < kNames; ++i) {
        ASSERT_TRUE(table.addSymbol(makeSymbol("n" + std::to_string(i), i % 2 == 0 ? text : nullptr, i)));
    }
    for (int i = 0; i < kNames; ++i) {
        const std::string name = "n" + std::to_string(i);
        CSymbol* symbol = table.find(name);
        ASSERT_NE(symbol, nullptr) << name;
        EXPECT_EQ(symbol, table.symbols()[static_cast<std::size_t>(i)].get());
        EXPECT_EQ(table.addSymbol(makeSymbol(name, text, -i)), i % 2 != 0) << name;
    }
    EXPECT_EQ(table.symbols().size(), static_cast<std::size_t>(kNames));
    EXPECT_EQ(table.find("n5000"), nullptr);
    EXPECT_EQ(table.find(""), nullptr);
}

TEST(SymbolTable, DumpLines)
{
    CSectionTable sections;
    CSection* text = sections.addSection("main", 2, 0, "PM");
    CSymbolTable table;
    EXPECT_TRUE(dump(table).empty());
    CSymbol big = makeSymbol("big", text);
    big.m_value = 0xFFFFFFFFu;
    big.m_size = 4;
    big.m_bind = 255;
    big.m_type = 2;
    table.addSymbol(big);
    table.addSymbol(makeSymbol("ext", nullptr));
    const std::vector<std::string> expected = {
        "Sym: name=big value=4294967295 size=4 bind=255 type=2 section=main",
        "Sym: name=ext value=0 size=0 bind=0 type=0 section=0",
    };
    EXPECT_EQ(dump(table), expected);
}

TEST(SectionTable, KindsGiveTypeFlagsAndIndex)
{
    struct KindCase {
        int kind;
        int type;
        int flags;
    };
    const KindCase cases[] = {{1, 8, 2}, {2, 1, 6}, {3, 1, 3}, {4, 1, 2}, {0, 0, 0}, {5, 0, 0}};
    CSectionTable table;
    int index = 2;
    for (const KindCase& c : cases) {
        CSection* section = table.addSection("s", c.kind, 0, "PM");
        EXPECT_EQ(section->m_sectionType, c.type) << c.kind;
        EXPECT_EQ(section->m_sectionFlags, c.flags) << c.kind;
        EXPECT_EQ(section->m_index, index++);
        EXPECT_TRUE(section->m_statements.empty());
        EXPECT_TRUE(section->m_code.empty());
    }
}

TEST(SectionTable, SameNameTwiceGivesTwoSectionsThatStayInPlace)
{
    CSectionTable table;
    CSection* first = table.addSection("main", 2, 0, "PM");
    for (int i = 0; i < 100; ++i) {
        table.addSection("data", 3, 0, "XM");
    }
    CSection* again = table.addSection("main", 2, 0, "PM");
    EXPECT_NE(first, again);
    EXPECT_EQ(table.sections().front().get(), first);
    EXPECT_EQ(first->m_name, "main");
    EXPECT_EQ(first->m_memory, "PM");
    EXPECT_EQ(again->m_index, 103);
}

TEST(FileIndexMap, IndicesAreDenseAndStable)
{
    CFileIndexMap map;
    EXPECT_EQ(map.getIndex("prog.s"), 0);
    EXPECT_EQ(map.getIndex("defs.inc"), 1);
    EXPECT_EQ(map.getIndex("prog.s"), 0);
    EXPECT_EQ(map.getIndex("Prog.s"), 2);
    EXPECT_EQ(map.getName(0), "prog.s");
    EXPECT_EQ(map.getName(1), "defs.inc");
    EXPECT_EQ(map.getName(-1), "");
    EXPECT_EQ(map.getName(3), "");
    EXPECT_EQ(map.names(), (std::vector<std::string>{"prog.s", "defs.inc", "Prog.s"}));
}

// A word is told apart by its opcode alone, whatever its other bits hold.
TEST(OpcodeTable, WordsAreKnownByTheirOpcode)
{
    const struct {
        std::uint32_t word;
        std::int32_t form;
        const char* pattern;
        std::uint32_t target;  // the low nine bits
    } cases[] = {
        {0x0400, CVornOpcodeInfo::Register, "000010DddSssSss", 0},    // sub R0, R0, R0
        {0x2a03, CVornOpcodeInfo::Jump, "010101Iiiiiiiii", 3},        // jmpnz 3
        {0x21ff, CVornOpcodeInfo::Jump, "010000Iiiiiiiii", 511},      // jmp 511
        {0x4081, CVornOpcodeInfo::LoadStore, "100000DddxxxSss", 129}, // ld R2, R1
        {0x7e00, -1, "", 0},                                          // opcode 111111: none
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.word);
        EXPECT_EQ(CVornOpcodeInfo::formOfWord(entry.word), entry.form);
        EXPECT_EQ(CVornOpcodeInfo::patternOfWord(entry.word), entry.pattern);
        EXPECT_EQ(CVornOpcodeInfo::jumpTargetOf(entry.word), entry.target);
    }
}

}  // namespace
