#include <gtest/gtest.h>

#include "core/CVornPlatformDesc.h"
#include "support/BackEndHarness.h"
#include "support/InProcessAssembly.h"

using namespace backend;

namespace {

auto caseName = [](const auto& info) { return std::string(info.param.name); };

// ---- every instruction of the table ----------------------------------------

struct EncodingCase {
    const char* name;
    int id;
    std::vector<std::string> registers;  // none: one expression operand
    double value;
    const char* bits;
};

// Test names show the case's name, not its bytes.
void PrintTo(const EncodingCase& c, std::ostream* os)
{
    *os << c.name;
}

const EncodingCase kEncodings[] = {
    {"mov", Mov, {"R1", "R2"}, 0, "000000001010000"},       {"add", Add, {"R7", "R0", "R5"}, 0, "000001111000101"},
    {"sub", Sub, {"R1", "R2", "R3"}, 0, "000010001010011"}, {"and", And, {"R4", "R5", "R6"}, 0, "000011100101110"},
    {"or", Or, {"R0", "R1", "R7"}, 0, "000100000001111"},   {"not", Not, {"r3", "r4"}, 0, "000101011100000"},
    {"inc", Inc, {"R5", "R5"}, 0, "000110101101000"},       {"dec", Dec, {"R6", "R1"}, 0, "000111110001000"},
    {"shl", Shl, {"R2", "R3"}, 0, "001000010011000"},       {"shr", Shr, {"R7", "R6"}, 0, "001001111110000"},
    {"ashl", Ashl, {"R1", "R0"}, 0, "001010001000000"},     {"ashr", Ashr, {"R0", "R7"}, 0, "001011000111000"},
    {"jmp", Jmp, {}, 0, "010000000000000"},                 {"jmpz", Jmpz, {}, 1, "010001000000001"},
    {"jmps", Jmps, {}, 255, "010010011111111"},             {"jmpc", Jmpc, {}, 256, "010011100000000"},
    {"jmpnz", Jmpnz, {}, 5, "010101000000101"},             {"jmpns", Jmpns, {}, 511, "010110111111111"},
    {"jmpnc_600_cut", Jmpnc, {}, 600, "010111001011000"},   {"jmp_minus_one", Jmp, {}, -1, "010000111111111"},
    {"jmp_truncated", Jmp, {}, 7.9, "010000000000111"},     {"ld", Ld, {"R3", "R4"}, 0, "100000011000100"},
    {"st", St, {"R3", "R4"}, 0, "110000000011100"},         {"word", Word, {}, 1, "0000000000000001"},
    {"word_minus_two", Word, {}, -2, "1111111111111110"},   {"word_hex", Word, {}, 0x1234, "0001001000110100"},
    {"word_cut", Word, {}, 65536 + 7, "0000000000000111"},
};

class InstructionEncoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(InstructionEncoding, FillsThePatternOfTheTable)
{
    const EncodingCase& c = GetParam();
    BackEnd backEnd;
    auto statement = c.registers.empty() ? expr(c.id, num(c.value)) : regs(c.id, c.registers);
    EXPECT_EQ(backEnd.m_generator.generate({statement.get()}), c.bits);
    EXPECT_TRUE(backEnd.reportedCodes().empty());
}

INSTANTIATE_TEST_SUITE_P(AllInstructions, InstructionEncoding, testing::ValuesIn(kEncodings), caseName);

TEST(InstructionEncoding, UnknownIdsEmptyCyclesAndAbsentTreesAddNothing)
{
    BackEnd backEnd;
    for (int id : {100, 123}) {
        auto statement = regs(id, {"R1"});
        EXPECT_EQ(backEnd.m_generator.generate({statement.get()}), "");
        EXPECT_EQ(backEnd.m_generator.opcodeInfo().getOpcodeDesc(*statement).m_form, -1);
    }
    EXPECT_EQ(backEnd.m_generator.generate({}), "");
    auto noTree = expr(Jmpz, nullptr);
    EXPECT_EQ(backEnd.m_generator.generate({noTree.get()}), "010001000000000");
    EXPECT_TRUE(backEnd.reportedCodes().empty());
    EXPECT_EQ(CVornPlatformDesc().getNumOfHostBytes(".data"), 2);
    EXPECT_EQ(CPlatformDesc().getNumOfHostBytes(".text"), 1);
}

// ---- the pattern alphabet, on hand-made descriptions ------------------------

struct PatternCase {
    const char* name;
    const char* pattern;
    std::vector<std::int32_t> operEncIds;
    std::vector<std::string> registers;
    std::vector<double> values;
    const char* bits;
    bool warns;  // the statement does not fit the pattern: warning 1
};

// Test names show the case's name, not its bytes.
void PrintTo(const PatternCase& c, std::ostream* os)
{
    *os << c.name;
}

const PatternCase kPatterns[] = {
    {"C_M_N_fields", "CccMmmNnn", {0, 0, 0}, {"R1", "R2", "R3"}, {}, "001010011", false},
    {"registers_in_source_order", "SssDdd", {0, 0}, {"R1", "R6"}, {}, "001110", false},
    {"U_is_value_minus_one", "Uuuu", {}, {}, {5}, "0100", false},
    {"U_of_zero", "Uuu", {}, {}, {0}, "111", false},
    {"two_immediates", "IiixIi", {}, {}, {5, 2}, "101x10", false},
    {"scattered_immediate_bits", "Ii0i", {}, {}, {5}, "1001", false},
    {"registers_and_immediates", "DddIii", {0}, {"R4"}, {3}, "100011", false},
    {"other_characters_copied", "z1Dd.x", {0}, {"R2"}, {}, "z101.x", false},
    {"missing_encoding_id", "Ddd", {}, {"R5"}, {}, "000", true},
    {"unknown_encoding_id", "Ddd", {7}, {"R5"}, {}, "000", true},
    {"too_few_registers", "DddSss", {0, 0}, {"R5"}, {}, "101000", true},
    {"register_not_encodable", "DddSss", {0, 0}, {"R8", "x1"}, {}, "000000", true},
    {"field_wider_than_its_bits", "Dddd", {0}, {"R7"}, {}, "1110", true},
    {"continuation_without_field", "dd1", {}, {}, {}, "001", true},
    {"immediate_without_operand", "Iii", {}, {}, {}, "000", true},
};

class PatternFilling : public testing::TestWithParam<PatternCase> {};

TEST_P(PatternFilling, FillsEveryFieldLetter)
{
    const PatternCase& c = GetParam();
    BackEnd backEnd;
    const COpcodeDesc desc{1, 0, c.pattern, c.operEncIds};
    auto statement = regs(Mov, c.registers);
    for (double value : c.values) {
        statement->addOperand(std::make_unique<CSymExpOperand>(num(value)), CStatement::Source);
    }
    EXPECT_EQ(backEnd.m_generator.encodeWith(desc, *statement), c.bits);
    EXPECT_EQ(backEnd.reportedCodes(), c.warns ? std::vector<int>{1} : std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(Alphabet, PatternFilling, testing::ValuesIn(kPatterns), caseName);

// ---- merging the patterns of one cycle --------------------------------------

struct MergeCase {
    const char* name;
    const char* a;
    const char* b;
    const char* merged;
    std::vector<int> warnings;
};

// Test names show the case's name, not its bytes.
void PrintTo(const MergeCase& c, std::ostream* os)
{
    *os << c.name;
}

class MergeOpcodes : public testing::TestWithParam<MergeCase> {};

TEST_P(MergeOpcodes, CombinesPositionsAndWarns)
{
    const MergeCase& c = GetParam();
    BackEnd backEnd;
    EXPECT_EQ(backEnd.m_generator.mergeOpcodes(c.a, c.b), c.merged);
    EXPECT_EQ(backEnd.reportedCodes(), c.warnings);
}

INSTANTIATE_TEST_SUITE_P(Cases, MergeOpcodes,
                         testing::Values(MergeCase{"fixed_wins_over_x", "01x", "0x1", "011", {}},
                                         MergeCase{"conflict", "01", "00", "0E", {1}},
                                         MergeCase{"equal_letters", "Dx", "Dx", "Dx", {}},
                                         MergeCase{"letter_against_bit", "D0", "0x", "E0", {1}},
                                         MergeCase{"b_longer", "01", "011", "011", {2}},
                                         MergeCase{"a_longer", "0110", "01", "0110", {2}},
                                         MergeCase{"sizes_and_conflicts", "11", "001", "EE1", {2, 1, 1}}),
                         caseName);

TEST(MergeOpcodes, GenerateMergesEveryStatementOfACycle)
{
    BackEnd backEnd;
    auto first = regs(Mov, {"R1", "R2"});
    auto same = regs(Mov, {"R1", "R2"});
    auto other = regs(Add, {"R1", "R2", "R3"});
    EXPECT_EQ(backEnd.m_generator.generate({first.get(), same.get()}), "000000001010000");
    EXPECT_TRUE(backEnd.reportedCodes().empty());
    EXPECT_EQ(backEnd.m_generator.generate({first.get(), other.get()}), "00000E001010011");
    CAssemblyResult result;
    result.diagnostics = backEnd.m_diagnostics.diagnostics();
    result.report = backEnd.m_diagnostics.items();
    result.files = backEnd.m_files.names();
    EXPECT_EQ(testsupport::printed(result).output, "Warning in warning #1: Some is bad in opcode\n\n");
}

}  // namespace
