// The benchmark's program generator must write programs that assemble
// cleanly; otherwise the benchmark would time error paths instead.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::readFile;
using testsupport::RunResult;
using testsupport::runProcess;
using testsupport::ScopedTempDir;

namespace {

struct GeneratorCase {
    int lines;
    int seed;
    const char* labelEvery;
};

constexpr GeneratorCase kCases[] = {
    {8, 1, "8"},       // the smallest program the generator writes
    {9, 3, "8"},
    {40, 2, "1"},      // a label on nearly every instruction
    {3000, 4, "8"},    // jump addresses wrap past the 9-bit field
    {3000, 5, "50"},   // few labels, long jump distances
};

void PrintTo(const GeneratorCase& param, std::ostream* out)
{
    *out << param.lines << " lines, seed " << param.seed << ", a label every " << param.labelEvery;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Whether the line begins with a label definition ("name:").
bool definesLabel(const std::string& line)
{
    const auto isStart = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.'; };
    const auto isPart = [&](char c) { return isStart(c) || std::isdigit(static_cast<unsigned char>(c)); };
    if (line.empty() || !isStart(line[0])) {
        return false;
    }
    std::size_t end = 1;
    while (end < line.size() && isPart(line[end])) {
        ++end;
    }
    while (end < line.size() && (line[end] == ' ' || line[end] == '\t')) {
        ++end;
    }
    return end < line.size() && line[end] == ':';
}

class BenchGenerator : public testing::TestWithParam<GeneratorCase> {};

TEST_P(BenchGenerator, WritesProgramsThatAssembleCleanly)
{
    const GeneratorCase& param = GetParam();
    const ScopedTempDir work;
    const std::string generator = (testsupport::sourceDir() / "bench/gen_program.py").string();
    const RunResult generated = runProcess({"python3", generator, std::to_string(param.lines), "--seed",
                                            std::to_string(param.seed), "--label-every", param.labelEvery,
                                            "-o", "prog.vs"});
    if (generated.status == 127) {
        GTEST_SKIP() << "python3 not found; install it with: apt-get install python3";
    }
    ASSERT_EQ(generated.status, 0) << generated.output;
    const std::vector<std::string> source = splitLines(readFile("prog.vs"));
    EXPECT_EQ(source.size(), static_cast<std::size_t>(param.lines));

    const RunResult run = runProcess({testsupport::assemblerBinary(), "-l", "prog.vs"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");

    // Every label is defined once: a second definition of a name would be
    // dropped silently, leaving fewer symbols than definitions.
    const auto definitions = std::count_if(source.begin(), source.end(), definesLabel);
    const std::vector<std::string> listing = splitLines(readFile("prog.lst"));
    const auto symbols = std::count_if(listing.begin(), listing.end(), [](const std::string& line) {
        return line.rfind("Sym: ", 0) == 0;
    });
    EXPECT_GT(definitions, 0);
    EXPECT_EQ(symbols, definitions);
    for (const std::string& line : listing) {
        if (line.rfind("Sym: ", 0) == 0) {
            EXPECT_EQ(line.find(" section=0"), std::string::npos) << line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BenchGenerator, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<GeneratorCase>& info) {
                             return "Lines" + std::to_string(info.param.lines) + "Seed" +
                                    std::to_string(info.param.seed) + "LabelEvery" + info.param.labelEvery;
                         });

}  // namespace
