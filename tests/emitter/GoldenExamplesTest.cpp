#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;

namespace {

// Copies every example source into the current directory, so that the names
// in the listing's line markers do not depend on where the checkout lives.
void copyExamples()
{
    for (const auto& entry : fs::directory_iterator(testsupport::sourceDir() / "examples")) {
        const fs::path extension = entry.path().extension();
        if (extension == ".s" || extension == ".inc") {
            fs::copy_file(entry.path(), entry.path().filename());
        }
    }
}

class GoldenExample : public testing::TestWithParam<const char*> {};

TEST_P(GoldenExample, AssemblesToTheCheckedInTexts)
{
    const std::string name = GetParam();
    testsupport::ScopedTempDir dir;
    copyExamples();
    const auto run = testsupport::runProcess({testsupport::assemblerBinary(), "-l", name + ".s"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    const fs::path golden = testsupport::sourceDir() / "tests" / "golden";
    EXPECT_EQ(readFile(name + ".o.txt"), readFile(golden / (name + ".txt")));
    EXPECT_EQ(readFile(name + ".o.dat"), readFile(golden / (name + ".dat")));
    EXPECT_EQ(readFile(name + ".lst"), readFile(golden / (name + ".lst")));
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenExample, testing::Values("count", "memcopy", "table", "blink"),
                         [](const auto& info) { return std::string(info.param); });

struct FailureCase {
    const char* name;
    const char* source;
    std::vector<std::string> options;
    const char* output;
    std::vector<const char*> written;
    std::vector<const char*> absent;
};

// Test names show the case's name, not its bytes.
void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class AssemblyFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(AssemblyFailure, IsReportedAndEndsWithStatusOne)
{
    const FailureCase& c = GetParam();
    testsupport::ScopedTempDir dir;
    testsupport::writeFile("prog.s", c.source);
    std::vector<std::string> argv = {testsupport::assemblerBinary()};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.push_back("prog.s");
    const auto run = testsupport::runProcess(argv);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, c.output);
    for (const char* file : c.written) {
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
    for (const char* file : c.absent) {
        EXPECT_FALSE(fs::exists(file)) << file;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AssemblyFailure,
    testing::Values(
        FailureCase{"undefined_symbols",
                    ".text\n jmp nowhere\nCount: jmp count\n jmp nowhere + 1\n",
                    {},
                    "Error in \"prog.s\", line 2: error #1315: Referencing undefined symbol nowhere.\n\n"
                    "Error in \"prog.s\", line 3: error #1315: Referencing undefined symbol count.\n\n"
                    "Error in \"prog.s\", line 4: error #1315: Referencing undefined symbol nowhere.\n\n",
                    {},
                    {"prog.o.txt", "prog.o.dat"}},
        FailureCase{"output_directory_missing",
                    ".text\nloop: jmp loop\n",
                    {"-l", "-omissing/out"},
                    "Error in error #1316: Failed to open output file missing/out.txt.\n\n"
                    "Error in error #1316: Failed to open output file missing/out.dat.\n\n",
                    {},
                    {"prog.lst"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
