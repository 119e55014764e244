// Replays every input that ever made a fuzz target fail (fuzz/regressions),
// and the seed corpora, through the same in-process pipelines the fuzz
// targets run: each must end normally or with an orderly stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "support/FuzzPipeline.h"
#include "support/LspFuzzSession.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

struct FuzzInput {
    std::string target;  // "parse", "options" or "lsp"
    fs::path path;
};

// Every file under fuzz/<collection>/<target>/, READMEs aside.
std::vector<FuzzInput> fuzzInputs()
{
    std::vector<FuzzInput> inputs;
    for (const char* collection : {"regressions", "corpus"}) {
        for (const char* target : {"parse", "options", "lsp"}) {
            const fs::path directory = testsupport::sourceDir() / "fuzz" / collection / target;
            std::error_code error;
            for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
                if (entry.is_regular_file() && entry.path().filename() != "README.md") {
                    inputs.push_back({target, entry.path()});
                }
            }
        }
    }
    std::sort(inputs.begin(), inputs.end(),
              [](const FuzzInput& a, const FuzzInput& b) { return a.path < b.path; });
    return inputs;
}

std::string inputName(const testing::TestParamInfo<FuzzInput>& info)
{
    const fs::path& path = info.param.path;
    std::string name = path.parent_path().parent_path().filename().string() + "_" + info.param.target +
                       "_" + path.filename().string();
    std::replace_if(name.begin(), name.end(),
                    [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
    return name + "_" + std::to_string(info.index);
}

void PrintTo(const FuzzInput& input, std::ostream* out)
{
    // The path below the checkout, so test names do not depend on where it lies.
    *out << input.target << " " << input.path.lexically_relative(testsupport::sourceDir()).string();
}

class FuzzRegressionTest : public testing::TestWithParam<FuzzInput> {};

TEST_P(FuzzRegressionTest, EndsNormallyOrWithAnOrderlyStop)
{
    const std::string bytes = testsupport::readFile(GetParam().path);
    FuzzPipeline::Outcome outcome;
    std::string failure;
    try {
        if (GetParam().target == "lsp") {
            LspFuzzSession::run(bytes);
        } else {
            outcome = GetParam().target == "parse" ? FuzzPipeline::assembleText(bytes)
                                                   : FuzzPipeline::parseCommandLine(bytes);
        }
    } catch (const std::exception& error) {
        failure = error.what();
    }
    EXPECT_EQ(failure, "");
    if (outcome.stopped) {
        EXPECT_EQ(outcome.status, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzRegressionTest, testing::ValuesIn(fuzzInputs()), inputName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FuzzRegressionTest);

// Argument vectors with shell characters reach the preprocessor unchanged.
TEST(FuzzPipelineTest, CommandLinesWithShellCharactersPassVerbatim)
{
    using namespace std::string_literals;
    const std::string inputs[] = {
        "-l\0it's here.s"s,
        "-I$(rm -rf x)\0-D A=`b`\0-U;\0a\"b\\c.s"s,
        "-o\0-out\0\xff\xfe.s"s,
    };
    for (const std::string& input : inputs) {
        EXPECT_FALSE(FuzzPipeline::parseCommandLine(input).stopped) << input;
    }
}

}  // namespace
