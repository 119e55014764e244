#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/InProcessAssembly.h"
#include "support/TestSupport.h"

using testsupport::InProcessAssembly;

namespace {

std::string repeat(const std::string& piece, int count)
{
    std::string text;
    text.reserve(piece.size() * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

std::string dataLines(std::initializer_list<const char*> words)
{
    std::string text;
    int index = 0;
    for (const char* word : words) {
        text += "sMEM(" + std::to_string(index++) + ") <= x\"" + word + "\";\n";
    }
    return text;
}

const std::string kSyntaxError = "error #1304: Syntax error.\n\n";
const std::string kWrongSymbol = "error #1312: Wrong symbol usage in the expression.\n\n";
const std::string kUnrecognized = "Error in error #1305: Unrecognized token.\n\n";

// A hostile source, how the run must end, a piece of what it prints, and
// (for complete runs) the exact data text.
struct HostileCase {
    const char* label;
    std::string source;
    int status;
    std::string printed;
    std::string data;
};

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.label;
}

class HostileInput : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileInput, EndsInAnOrderlyWay)
{
    const HostileCase& c = GetParam();
    InProcessAssembly assembly(c.source);
    EXPECT_EQ(assembly.result.status, c.status);
    EXPECT_NE(assembly.result.output.find(c.printed), std::string::npos) << assembly.result.output.substr(0, 500);
    if (c.status == 0) {
        EXPECT_EQ(assembly.dataText(), c.data);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, HostileInput,
    testing::Values(
        HostileCase{"nulByte", std::string(".data\n1\n\0\n2\n", 11), 1, kUnrecognized, ""},
        HostileCase{"highBytes", ".data\n1\n\x80\xff\n", 1, kUnrecognized, ""},
        HostileCase{"highByteInIdentifier", ".data\nab\xc3\xa9\n", 1, kUnrecognized, ""},
        HostileCase{"unclosedBlockComment", ".data\n1\n/* never closed\n2\n", 0, "", dataLines({"0001"})},
        HostileCase{"commentCutAtEnd", ".data\n3 ; no newline", 0, "", dataLines({"0003"})},
        HostileCase{"markerCutAtEnd", ".data\n4\n# 12 \"prog", 1, kUnrecognized, ""},
        HostileCase{"hugeDecimal", ".data\n" + repeat("9", 200) + "\n", 0, "", dataLines({"ffff"})},
        HostileCase{"hugeHexadecimal", ".data\n0x" + repeat("f", 40) + "\n", 0, "", dataLines({"0000"})},
        HostileCase{"nestedParentheses", ".data\n" + repeat("(", 20000) + "1" + repeat(")", 20000) + "\n", 1,
                    kSyntaxError, ""},
        HostileCase{"unaryMinuses", ".data\n" + repeat("-", 20000) + "1\n", 1, kSyntaxError, ""},
        HostileCase{"complements", ".data\n" + repeat("~", 20000) + "1\n", 1, kSyntaxError, ""},
        HostileCase{"longSum", ".data\n" + repeat("1+", 49999) + "1\n", 1, kSyntaxError, ""},
        HostileCase{"deepButAllowed", ".data\n" + repeat("(", 300) + "1" + repeat(")", 300) + "\n", 0, "",
                    dataLines({"0001"})},
        HostileCase{"shifts", ".data\n1 << 100\n1 << -1\n-8 >> 100\n1 >> -1\n1 << 256\n3 << 257\n", 0, "",
                    dataLines({"0000", "0000", "ffff", "0000", "0001", "0006"})},
        HostileCase{"products", ".data\n0x7fffffffffffffff * 0x7fffffffffffffff\n(65536 * 65536 * 65536 + 5)\n", 0,
                    "", dataLines({"0000", "0005"})},
        HostileCase{"divisionByZero", ".data\n1 / 0\n-1 / 0\n0 / 0\n", 0, "", dataLines({"0000", "0000", "0000"})},
        HostileCase{"remainderByZero", ".data\n5 % 0\n", 1, kWrongSymbol, ""},
        HostileCase{"remainderOverflow", ".data\n(-2147483647 - 1) % -1\n", 1, kWrongSymbol, ""}),
    [](const testing::TestParamInfo<HostileCase>& info) { return info.param.label; });

TEST(HostileInputSizes, LongUndefinedSymbolIsNamedWhole)
{
    const std::string name = repeat("a", 5000);
    InProcessAssembly assembly(".text\njmp " + name + "\n");
    EXPECT_EQ(assembly.result.status, 1);
    EXPECT_NE(assembly.result.output.find("Referencing undefined symbol " + name + ".\n"), std::string::npos);
}

TEST(HostileInputSizes, OneMegabyteLine)
{
    InProcessAssembly assembly(".data\n" + repeat("7, ", 350000) + "\n");
    EXPECT_EQ(assembly.result.status, 0) << assembly.result.output.substr(0, 300);
    const std::string data = assembly.dataText();
    EXPECT_EQ(static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n')), 350000u);
    EXPECT_NE(data.find("sMEM(349999) <= x\"0007\";\n"), std::string::npos);
}

TEST(HostileOutputPath, MissingDirectoryIsReportedForEveryFile)
{
    testsupport::ScopedTempDir temp;
    testsupport::writeFile("prog.s", ".text\nmov r1, r2\n");
    const auto result =
        testsupport::runProcess({testsupport::assemblerBinary(), "-o", "no/such/dir/out", "-l", "prog.s"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("Error in error #1316: Failed to open output file no/such/dir/out.txt.\n\n"),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("Failed to open output file no/such/dir/out.dat."), std::string::npos);
    // The listing does not depend on -o, but no file of a failed set is written.
    EXPECT_FALSE(std::filesystem::exists("prog.lst"));
}

}  // namespace
