#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "asm/CAsmOptions.h"
#include "asm/CAsmPreprocessor.h"
#include "asm/CCommonModules.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;
using Strings = std::vector<std::string>;

namespace {

// A stand-in preprocessor: records its arguments (NUL-terminated) in
// cc1-args, copies cc1-output to a.ppf and exits with the status in cc1-status.
constexpr const char* kStandIn =
    "#!/bin/sh\n"
    "for a in \"$0\" \"$@\"; do printf '%s\\0' \"$a\"; done > cc1-args\n"
    "[ -f cc1-output ] && /bin/cp cc1-output a.ppf\n"
    "exit $(/bin/cat cc1-status 2>/dev/null || echo 0)\n";

// A copy of the program with the stand-in beside it, in its own directory.
fs::path installStandIn(const fs::path& directory)
{
    fs::create_directories(directory);
    fs::copy_file(testsupport::assemblerBinary(), directory / "rozedov", fs::copy_options::overwrite_existing);
    writeFile(directory / "cc1", kStandIn);
    fs::permissions(directory / "cc1", fs::perms::owner_all);
    return directory / "rozedov";
}

Strings recordedArguments()
{
    Strings arguments;
    const std::string recorded = readFile("cc1-args");
    std::size_t start = 0;
    for (std::size_t end; (end = recorded.find('\0', start)) != std::string::npos; start = end + 1) {
        arguments.push_back(recorded.substr(start, end - start));
    }
    return arguments;
}

Strings fixedPart(const std::string& preprocessor, const std::string& input)
{
    return {preprocessor, "-E", "-quiet", input, "-oa.ppf", "-lang-asm", "-D__HASH__=#", "-D__VANTIC_TC__"};
}

struct VectorCase {
    const char* label;
    Strings options;  // given before the input name
    std::string input;
    Strings tail;     // expected after the fixed arguments
};

void PrintTo(const VectorCase& c, std::ostream* os)
{
    *os << c.label;
}

class PreprocessorArguments : public testing::TestWithParam<VectorCase> {};

// The stand-in must receive every piece verbatim, and nothing in any name may
// be run by a shell.
TEST_P(PreprocessorArguments, ReachTheStandInVerbatim)
{
    const VectorCase& c = GetParam();
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    writeFile("cc1-output", "");
    Strings argv = {program.string()};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.push_back(c.input);
    const testsupport::RunResult result = runProcess(argv);
    EXPECT_EQ(result.status, 0) << result.output;

    Strings expected = fixedPart((temp.path() / "bin" / "cc1").string(), c.input);
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(recordedArguments(), expected);
    for (const char* marker : {"pwned1", "pwned2", "pwned3", "pwned4"}) {
        EXPECT_FALSE(fs::exists(marker)) << marker << " was created: a name was executed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, PreprocessorArguments,
    testing::Values(
        VectorCase{"none", {}, "prog.s", {}},
        VectorCase{"orderOfGroups",
                   {"-Dd1", "-Iinc1", "-Uu1", "-Iinc2", "-Dd2=2", "-Uu2"},
                   "prog.s",
                   {"-Iinc1", "-Iinc2", "-Dd1", "-Dd2=2", "-Uu1", "-Uu2"}},
        VectorCase{"emptyPieces", {"-I", "-D", "-U"}, "prog.s", {"-I", "-D", "-U"}},
        VectorCase{"blanks", {"-Imy includes", "-DGREETING=hello world"}, "my prog.s",
                   {"-Imy includes", "-DGREETING=hello world"}},
        VectorCase{"quotes", {"-I\"q\"'s", "-DX=\"a'b\""}, "it's \"here\".s", {"-I\"q\"'s", "-DX=\"a'b\""}},
        VectorCase{"substitutions", {"-I$(touch pwned1)", "-D`touch pwned2`"}, "$(touch pwned3).s",
                   {"-I$(touch pwned1)", "-D`touch pwned2`"}},
        VectorCase{"separators", {"-DX=1; touch pwned4", "-I\\;|&<>*?~"}, "a;b&&c|d\\e$HOME.s",
                   {"-I\\;|&<>*?~", "-DX=1; touch pwned4"}},
        VectorCase{"newline", {"-Dline\nbreak"}, "two\nlines.s", {"-Dline\nbreak"}}),
    [](const testing::TestParamInfo<VectorCase>& info) { return info.param.label; });

TEST(PreprocessorFailure, StopsWithStatusOneAndWritesNothing)
{
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    writeFile("cc1-status", "3");
    writeFile("prog.s", ".text\nmov r1, r2\n");
    const testsupport::RunResult result = runProcess({program.string(), "-l", "prog.s"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_FALSE(fs::exists("prog.o.txt"));
    EXPECT_FALSE(fs::exists("prog.o.dat"));
    EXPECT_FALSE(fs::exists("prog.lst"));
}

TEST(PreprocessorFailure, UnreadableIntermediateFileIsReported)
{
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    // The stand-in succeeds but leaves no a.ppf.
    const testsupport::RunResult result = runProcess({program.string(), "prog.s"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Error: Cannot read the preprocessed file a.ppf.\n");
    EXPECT_FALSE(fs::exists("prog.o.txt"));
}

// Started through PATH the first argument has no directory; the program
// still finds the cc1 beside its own executable.
TEST(PreprocessorLocation, FoundBesideTheExecutableWhenStartedThroughPath)
{
    ScopedTempDir temp;
    const fs::path bin = temp.path() / "bin";
    installStandIn(bin);
    writeFile("cc1-output", "");
    const testsupport::RunResult result = runProcess({"/usr/bin/env", "PATH=" + bin.string(), "rozedov", "prog.s"});
    EXPECT_EQ(result.status, 0) << result.output;
    ASSERT_FALSE(recordedArguments().empty());
    EXPECT_EQ(recordedArguments().front(), (bin / "cc1").string());
}

TEST(PreprocessorLocation, RelativeProgramPathIsResolvedAgainstTheStartDirectory)
{
    ScopedTempDir temp;
    installStandIn(temp.path() / "bin");
    fs::create_directories("work");
    fs::current_path("work");
    writeFile("cc1-output", "");
    const testsupport::RunResult result = runProcess({"../bin/rozedov", "prog.s"});
    EXPECT_EQ(result.status, 0) << result.output;
    ASSERT_FALSE(recordedArguments().empty());
    EXPECT_EQ(recordedArguments().front(), (temp.path() / "bin" / "cc1").string());
}

// A source that is the intermediate file would be emptied by the
// preprocessor before it is read: the run refuses it, under any name.
TEST(IntermediateFile, SourceThatIsTheIntermediateFileIsRefusedAndKept)
{
    ScopedTempDir temp;
    const std::string source = ".text\nmov r1, r2\n";
    writeFile("a.ppf", source);
    fs::create_symlink("a.ppf", "linked.s");
    for (const std::string& name : Strings{"a.ppf", "./a.ppf", (temp.path() / "a.ppf").string(), "linked.s"}) {
        const testsupport::RunResult result = runProcess({testsupport::assemblerBinary(), name});
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_EQ(result.output,
                  "Error: The input file is the intermediate file a.ppf; give the source another name.\n")
            << name;
        EXPECT_EQ(readFile("a.ppf"), source) << name;
    }
}

// The real preprocessor, through the link beside the built program.
TEST(RealPreprocessor, ExpandsIncludesAndDefines)
{
    ScopedTempDir temp;
    fs::create_directories("inc");
    writeFile("inc/defs.inc", "#define COUNT 42\n");
    writeFile("prog.s", "#include \"defs.inc\"\n.data\nCOUNT, LIMIT\n");
    const testsupport::RunResult result =
        runProcess({testsupport::assemblerBinary(), "-Iinc", "-DLIMIT=7", "prog.s"});
    EXPECT_EQ(result.status, 0) << result.output;
    const std::string preprocessed = readFile("a.ppf");
    EXPECT_NE(preprocessed.find("42, 7"), std::string::npos) << preprocessed;
    EXPECT_NE(preprocessed.find("\"prog.s\""), std::string::npos) << preprocessed;
    EXPECT_TRUE(fs::exists("prog.o.txt"));
    EXPECT_TRUE(fs::exists("prog.o.dat"));
}

TEST(RealPreprocessor, MissingIncludeStopsTheRun)
{
    ScopedTempDir temp;
    writeFile("prog.s", "#include \"nowhere.inc\"\n.text\n");
    const testsupport::RunResult result = runProcess({testsupport::assemblerBinary(), "prog.s"});
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fs::exists("prog.o.txt"));
}

}  // namespace
