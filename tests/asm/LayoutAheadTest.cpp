#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asm/CSectionTable.h"
#include "asm/CSymbolTable.h"
#include "emitter/BackEndHarness.h"
#include "lexer/CToken.h"
#include "support/InProcessAssembly.h"

using namespace backend;

namespace {

// Cycles are laid out as the parse closes them, all but the newest, which a
// later statement may still join; names defined later are resolved at the end.
TEST(LayoutAhead, LaysOutClosedCyclesAndResolvesLaterNamesAtTheEnd)
{
    BackEnd plain;
    BackEnd ahead;
    std::vector<std::size_t> sizesAhead;
    for (BackEnd* backEnd : {&plain, &ahead}) {
        CSection* code = backEnd->section(CSection::Code);
        backEnd->add(code, regs(Mov, {"R1", "R2"}));
        backEnd->add(code, expr(Jmp, op(TOK_PLUS, sym("later"), num(1))));
        if (backEnd == &ahead) {
            backEnd->m_driver.layOutAhead(*code);
            sizesAhead.push_back(code->m_code.size());
        }
        backEnd->label("later", code);
        backEnd->add(code, regs(Mov, {"R3", "R4"}));
        if (backEnd == &ahead) {
            backEnd->m_driver.layOutAhead(*code);
            sizesAhead.push_back(code->m_code.size());
        }
        EXPECT_EQ(backEnd->layout(), "");
    }
    EXPECT_EQ(sizesAhead, (std::vector<std::size_t>{2, 4}));
    const CSection& plainCode = *plain.m_common.m_sections->sections().front();
    const CSection& aheadCode = *ahead.m_common.m_sections->sections().front();
    EXPECT_EQ(aheadCode.m_code, plainCode.m_code);
    EXPECT_EQ(aheadCode.cycleToAddrMap, plainCode.cycleToAddrMap);
    ASSERT_EQ(aheadCode.m_fixups.size(), 1U);
    EXPECT_EQ(aheadCode.m_fixups[0].m_symbol, ahead.m_common.m_symbols->find("later"));
    EXPECT_EQ(aheadCode.m_fixups[0].m_offset, 2);
    EXPECT_EQ(aheadCode.m_fixups[0].m_addend, 1);
    EXPECT_TRUE(ahead.m_common.m_symbols->find("later")->m_referenced);
    EXPECT_EQ(ahead.m_common.m_symbols->find("later")->m_value, 4U);
}

// The jumps of one program: to an expression of two names, to a name never
// defined, or both; then a plain instruction. Returns the codes reported.
std::vector<int> layOutJumps(bool twoNames, bool undefinedName, bool layAhead)
{
    BackEnd backEnd;
    CSection* code = backEnd.section(CSection::Code);
    backEnd.label("a", code);
    if (twoNames) {
        backEnd.add(code, expr(Jmp, op(TOK_PLUS, sym("a"), sym("b"))));
    }
    backEnd.label("b", code);
    if (undefinedName) {
        backEnd.add(code, expr(Jmp, sym("nowhere")));
    }
    backEnd.add(code, regs(Mov, {"R1", "R2"}));
    if (layAhead) {
        backEnd.m_driver.layOutAhead(*code);
    }
    backEnd.layout();
    EXPECT_TRUE(code->m_fixups.empty());
    return backEnd.reportedCodes();
}

// Messages of layout (which the parser's checks make rare in real programs)
// come once each, in order, as without layout ahead.
TEST(LayoutAhead, MessagesComeFromTheWholeLayoutInOrder)
{
    const struct {
        bool twoNames;
        bool undefinedName;
        std::vector<int> codes;
    } cases[] = {{true, false, {1312}}, {false, true, {1315}}, {true, true, {1312, 1315}}};
    for (const auto& c : cases) {
        EXPECT_EQ(layOutJumps(c.twoNames, c.undefinedName, false), c.codes);
        EXPECT_EQ(layOutJumps(c.twoNames, c.undefinedName, true), c.codes);
    }
}

struct ProgramCase {
    const char* name;
    std::string source;  // preprocessed text
};

class LayoutAheadProgram : public testing::TestWithParam<ProgramCase> {};

// Whatever the program, layout during the parse ends as layout after it:
// the same messages and status, the same ROM, data and listing texts.
TEST_P(LayoutAheadProgram, EndsAsLayoutAfterTheParse)
{
    const std::string& source = GetParam().source;
    const testsupport::InProcessAssembly after(source, {"-l"}, false);
    const testsupport::InProcessAssembly ahead(source, {"-l"}, true);
    EXPECT_EQ(ahead.result.output, after.result.output);
    EXPECT_EQ(ahead.result.status, after.result.status);
    EXPECT_EQ(ahead.codeText(), after.codeText());
    EXPECT_EQ(ahead.dataText(), after.dataText());
    EXPECT_EQ(ahead.listingText(), after.listingText());
}

INSTANTIATE_TEST_SUITE_P(
    Programs, LayoutAheadProgram,
    testing::Values(
        ProgramCase{"ReferencesBothWays",
                    ".text\nstart: mov r1, r2\njmp end+1\nloop: jmpz loop\njmp start-2\nend: mov r3, r4\n"
                    ".data\nstart, end, loop+1, 0x7FFF\n"},
        ProgramCase{"LabelsBehindTheLastStatement", ".text\nmov r1, r2\nlast:\n.data\n1\nafter:\n.text\njmp after\n"},
        ProgramCase{"SeveralStatementsInOneLine", ".text\nmov r1, r2 __NEW_LINE__ jmp here\nhere: add r1, r2, r3\n"},
        ProgramCase{"UndefinedInEverySection", ".text\njmp nowhere\n.data\nmissing, 3\n.text\njmp gone\njmp nowhere\n"},
        ProgramCase{"TwoSymbolsInOneExpression", ".text\na: jmp a+b\nb: mov r1, r2\n.data\na*b\n"},
        ProgramCase{"ParseErrorBeforeUndefinedName", ".text\njmp nowhere\nbogus r1\n"},
        ProgramCase{"SectionsWithoutStatements", ".text\n.data\n.text\nmov r1, r2\n.data\n"},
        ProgramCase{"NoSection", "mov r1, r2\n"},
        ProgramCase{"Empty", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
