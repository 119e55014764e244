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
// cc1-args, copies cc1-output to a.ppf, a little later appends cc1-later, and
// exits with the status in cc1-status.
constexpr const char* kStandIn =
    "#!/bin/sh\n"
    "for a in \"$0\" \"$@\"; do printf '%s\\0' \"$a\"; done > cc1-args\n"
    "[ -f cc1-output ] && /bin/cp cc1-output a.ppf\n"
    "[ -f cc1-later ] && /bin/sleep 0.3 && /bin/cat cc1-later >> a.ppf\n"
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

TEST(PreprocessorCommand, ShellQuotingKeepsEveryByte)
{
    struct QuoteCase {
        std::string argument;
        std::string quoted;
    };
    const QuoteCase cases[] = {
        {"plain", "'plain'"},
        {"", "''"},
        {"it's", "'it'\\''s'"},
        {"$HOME `x` \"q\" \\", "'$HOME `x` \"q\" \\'"},
    };
    for (const QuoteCase& c : cases) {
        EXPECT_EQ(CAsmPreprocessor::shellQuote(c.argument), c.quoted);
    }
    EXPECT_EQ(CAsmPreprocessor::buildCommand({"/x/cc1", "-E", "a b"}), "'/x/cc1' '-E' 'a b'");
}

// The parse reads a.ppf while the preprocessor still writes it. What the run
// prints and how it ends must not show it: a failing preprocessor ends the
// run silently whatever the parse found in the part it had read.
struct OverlapCase {
    const char* name;
    std::string first;   // written at once
    std::string later;   // appended a little later
    int preprocessorStatus;
    int status;
    const char* printed;  // a part of the output; empty: nothing printed
};

void PrintTo(const OverlapCase& c, std::ostream* os)
{
    *os << c.name;
}

class PreprocessorOverlap : public testing::TestWithParam<OverlapCase> {};

TEST_P(PreprocessorOverlap, RunEndsAsIfTheParseFollowedThePreprocessor)
{
    const OverlapCase& c = GetParam();
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    writeFile("prog.s", "");
    writeFile("cc1-output", c.first);
    writeFile("cc1-later", c.later);
    writeFile("cc1-status", std::to_string(c.preprocessorStatus));
    const testsupport::RunResult result = runProcess({program.string(), "prog.s"});
    EXPECT_EQ(result.status, c.status);
    if (*c.printed == '\0') {
        EXPECT_EQ(result.output, "");
    } else {
        EXPECT_NE(result.output.find(c.printed), std::string::npos) << result.output;
    }
    EXPECT_EQ(fs::exists("prog.o.txt"), c.status == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreprocessorOverlap,
    testing::Values(
        OverlapCase{"ErrorBeforeAFailureIsNotPrinted", ".text\nbogus r1\n", "mov r1, r2\n", 3, 1, ""},
        OverlapCase{"ErrorBeforeASuccessIsPrinted", ".text\nbogus r1\n", "mov r1, r2\n", 0, 1,
                    "error #1304: Syntax error."},
        OverlapCase{"StopInTheParseWaitsForAFailure", "mov r1, r2\n", ".text\n", 3, 1, ""},
        OverlapCase{"StopInTheParseWaitsForASuccess", "mov r1, r2\n", ".text\n", 0, 1, "error #1314"},
        OverlapCase{"CleanProgramInTwoParts", ".text\nmov r1, r2\n", "mov r3, r4\n", 0, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Arrival in parts changes no output byte.
TEST(PreprocessorOverlapOutput, PartsGiveTheSameFilesAsOneWhole)
{
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    writeFile("prog.s", "");
    writeFile("cc1-output", ".text\nstart: mov r1, r2\njmp later\nlater: mov r3, r4\n.data\n1, 2\n");
    ASSERT_EQ(runProcess({program.string(), "-l", "prog.s"}).status, 0);
    const std::string whole = readFile("prog.o.txt") + readFile("prog.o.dat") + readFile("prog.lst");
    writeFile("cc1-output", ".text\nstart: mov r1, r2\njmp ");
    writeFile("cc1-later", "later\nlater: mov r3, r4\n.data\n1, 2\n");
    ASSERT_EQ(runProcess({program.string(), "-l", "prog.s"}).status, 0);
    EXPECT_EQ(readFile("prog.o.txt") + readFile("prog.o.dat") + readFile("prog.lst"), whole);
}

// An earlier run's a.ppf is never assembled again, whether the parse
// follows the preprocessor (with the debug trace) or runs beside it.
TEST(PreprocessorOverlapOutput, EarlierIntermediateFileIsNotTakenForNewOutput)
{
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    writeFile("prog.s", "");
    writeFile("cc1-output", "");
    ASSERT_EQ(runProcess({program.string(), "prog.s"}).status, 0);
    const std::string empty = readFile("prog.o.txt");
    fs::remove("cc1-output");
    for (const Strings& options : {Strings{}, Strings{"-debug-dump"}}) {
        writeFile("a.ppf", ".text\nmov r1, r2\nmov r3, r4\n");
        Strings arguments = {program.string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back("prog.s");
        ASSERT_EQ(runProcess(arguments).status, 0);
        EXPECT_EQ(readFile("prog.o.txt"), empty) << options.size();
    }
}

// A source that is the intermediate file would be emptied by the
// preprocessor before it is read: the run refuses it, under any name.
TEST(PreprocessorOverlapOutput, SourceThatIsTheIntermediateFileIsRefusedAndKept)
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
