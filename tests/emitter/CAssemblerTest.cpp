// The assembler as one call: what it returns as data, that it keeps nothing
// from one call to the next, and the edges of the 512-word memories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emitter/CAssembler.h"
#include "support/InProcessAssembly.h"

using testsupport::InProcessAssembly;

namespace {

std::string describe(const CSourcePos& pos)
{
    return std::to_string(pos.fileIndex) + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column) + "+" +
           std::to_string(pos.length);
}

// Everything a result holds, as one text.
std::string describe(const CAssemblyResult& result)
{
    const testsupport::RunResult printed = testsupport::printed(result);
    std::string text = printed.output + "|" + printed.errors + "|" + std::to_string(static_cast<int>(result.stage)) +
                       "|" + std::to_string(result.warnings) + "|";
    for (const std::string& file : result.files) {
        text += file + ",";
    }
    for (const CSectionWords& section : result.sections) {
        text += "\n" + section.name + ":";
        for (const CWord& word : section.words) {
            text += " " + std::to_string(word.address) + "=" + std::to_string(word.value) + "@" + describe(word.pos);
        }
    }
    for (const CSymbolInfo& symbol : result.symbols) {
        text += "\n" + symbol.name + " " + std::to_string(symbol.section) + " " + std::to_string(symbol.value) + " " +
                describe(symbol.definition);
        for (const CSourcePos& use : symbol.uses) {
            text += " " + describe(use);
        }
    }
    const COutputTexts& texts = result.texts;
    text += "\n" + texts.code + texts.data + texts.listing;
    for (const CImageTexts& image : texts.images) {
        text += image.format + image.code + image.data;
    }
    return text;
}

// The same text assembled twice in one process gives the same result, every
// part of it: a call leaves nothing behind that the next one sees.
TEST(Assembler, GivesTheSameResultTwice)
{
    const std::string sources[] = {
        "# 1 \"prog.s\"\n.text\nstart: mov r1, r2\n jmp start + 2\n.data\nw: 1, start, 70000\n",
        "# 1 \"prog.s\"\n.text\nmov R8, r1\njmp nowhere\nadd r1\n",
        "# 1 \"prog.s\"\n.data\n1\n.text\nx: jmp x\nx: jmp 600\n",
    };
    const CSourceTexts originals = {{"prog.s", "ignored\n.text\nstart:  mov  r1, r2\n"}};
    CAssemblyOptions options;
    options.listing = true;
    options.debugDump = true;
    options.formats = {"hex", "vhdl"};
    for (const std::string& source : sources) {
        const CAssemblyResult first = CAssembler::assemble(source, "prog.s", originals, options);
        const CAssemblyResult second = CAssembler::assemble(source, "prog.s", originals, options);
        EXPECT_EQ(describe(first), describe(second)) << source;
    }
}

// The words come back with their addresses, values (jump targets patched in)
// and places, and the labels with their definitions and uses.
TEST(Assembler, ReturnsWordsAndSymbolsWithTheirPlaces)
{
    const std::string preprocessed = "# 1 \"prog.s\"\n.text\nstart: mov r1, r2\n jmp start + 2\n.data\nw: 5, start\n";
    const CSourceTexts originals = {
        {"prog.s", ".text\nstart:   mov r1,  r2\n    jmp   start + 2\n.data\nw: 5,   start\n"}};
    const InProcessAssembly assembly(preprocessed, {}, originals);
    const CAssemblyResult& result = assembly.assembly;
    ASSERT_FALSE(result.stopped());
    ASSERT_EQ(result.sections.size(), 2u);
    const std::vector<CWord>& code = result.sections[0].words;
    ASSERT_EQ(code.size(), 2u);
    EXPECT_EQ(code[0].address, 0);
    EXPECT_EQ(code[0].value, 0b000000001010000u);
    EXPECT_EQ(describe(code[0].pos), "0:2:10+11");
    EXPECT_EQ(code[1].address, 1);
    EXPECT_EQ(code[1].value, 0b010000000000001u);
    EXPECT_EQ(describe(code[1].pos), "0:3:5+15");
    const std::vector<CWord>& data = result.sections[1].words;
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[1].address, 1);
    EXPECT_EQ(data[1].value, 0u);
    EXPECT_EQ(describe(data[1].pos), "0:5:9+5");

    ASSERT_EQ(result.symbols.size(), 2u);
    const CSymbolInfo& start = result.symbols[0];
    EXPECT_EQ(start.name, "start");
    EXPECT_EQ(start.section, 0);
    EXPECT_EQ(describe(start.definition), "0:2:1+5");
    ASSERT_EQ(start.uses.size(), 2u);
    EXPECT_EQ(describe(start.uses[0]), "0:3:11+5");
    EXPECT_EQ(describe(start.uses[1]), "0:5:9+5");
    EXPECT_EQ(result.symbols[1].section, 1);
}

// A program that stops says where, and writes nothing.
TEST(Assembler, SaysWhereAStopCame)
{
    struct Case {
        const char* source;
        CAssemblyResult::Stage stage;
    };
    const Case cases[] = {
        {".text\nmov r1\n", CAssemblyResult::Stage::Parse},
        {"mov r1, r2\n", CAssemblyResult::Stage::Parse},
        {".text\njmp nowhere\n", CAssemblyResult::Stage::Layout},
        {".text\njmp 600\n", CAssemblyResult::Stage::Done},
    };
    for (const Case& c : cases) {
        const InProcessAssembly assembly(c.source);
        EXPECT_EQ(assembly.assembly.stage, c.stage) << c.source;
        if (assembly.assembly.stopped()) {
            EXPECT_TRUE(assembly.codeText().empty()) << c.source;
        }
    }
}

std::string repeated(const std::string& line, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += line;
    }
    return text;
}

// The edges of the memories: 512 words (0 to 511) fit, the next one does not.
struct EdgeCase {
    const char* name;
    std::string source;
    std::string warning;  // the first line of standard error; empty for none
    int section;          // a word to check
    int address;
    unsigned value;
};

void PrintTo(const EdgeCase& c, std::ostream* os)
{
    *os << c.name;
}

class MemoryEdge : public testing::TestWithParam<EdgeCase> {};

TEST_P(MemoryEdge, IsWhereTheWarningsBegin)
{
    const EdgeCase& c = GetParam();
    const InProcessAssembly assembly("# 1 \"prog.s\"\n" + c.source);
    ASSERT_EQ(assembly.result.status, 0) << assembly.result.output;
    EXPECT_EQ(assembly.result.errors.substr(0, assembly.result.errors.find('\n')), c.warning);
    const std::vector<CWord>& words = assembly.assembly.sections.at(static_cast<std::size_t>(c.section)).words;
    ASSERT_LT(static_cast<std::size_t>(c.address), words.size());
    EXPECT_EQ(words[static_cast<std::size_t>(c.address)].address, c.address);
    EXPECT_EQ(words[static_cast<std::size_t>(c.address)].value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Words, MemoryEdge,
    testing::Values(
        EdgeCase{"jumpToWord511", ".text\njmp 511\n", "", 0, 0, 0b010000111111111},
        EdgeCase{"jumpToWord512", ".text\njmp 512\n",
                 "prog.s:2:5: warning: jump target 512 does not fit 9 bits (words 0 to 511); word 0 is encoded", 0,
                 0, 0b010000000000000},
        EdgeCase{"jumpToALabelAtWord511", ".text\njmp last\n" + repeated("mov r1, r2\n", 510) + "last: jmp last\n", "",
                 0, 0, 0b010000111111111},
        EdgeCase{"jumpToALabelAtWord512", ".text\njmp last\n" + repeated("mov r1, r2\n", 511) + "last: jmp last\n",
                 "prog.s:2:5: warning: jump target is word 512, beyond the ROM's 512 words; word 0 is encoded", 0, 0,
                 0b010000000000000},
        EdgeCase{"codeOf512Words", ".text\n" + repeated("mov r1, r2\n", 512), "", 0, 511, 0b000000001010000},
        EdgeCase{"codeOf513Words", ".text\n" + repeated("mov r1, r2\n", 513),
                 "prog.s:514:1: warning: the code reaches word 512, beyond the ROM's 512 words (0 to 511): this and "
                 "every later word do not fit",
                 0, 512, 0b000000001010000},
        EdgeCase{"dataOf512Words", ".data\n" + repeated("7\n", 512), "", 0, 511, 7},
        EdgeCase{"dataOf513Words", ".data\n" + repeated("7\n", 513),
                 "prog.s:514:1: warning: data word 512 lies beyond the data memory's 512 words (0 to 511), as does "
                 "every later one",
                 0, 512, 7}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
