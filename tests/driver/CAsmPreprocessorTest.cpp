#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;
using Strings = std::vector<std::string>;

namespace {

// A stand-in preprocessor: records its arguments (NUL-terminated) in
// cc1-args, copies cc1-output (else INPUT.ppf, for the input INPUT) to a.ppf
// (with cc1-rename, through a temporary file renamed into place), notes in
// the folder "started" that it ran for INPUT when that folder exists, writes
// its process id into the FIFO cc1-ready when there is one, then waits for a line
// on the FIFO INPUT.gate when there is one, stays with cc1-hang, and exits
// with the status in cc1-status.
constexpr const char* kStandIn =
    "#!/bin/sh\n"
    "for a in \"$0\" \"$@\"; do printf '%s\\0' \"$a\"; done > cc1-args\n"
    "if [ -f cc1-rename ]; then /bin/cp cc1-output a.ppf.part && /bin/mv a.ppf.part a.ppf\n"
    "elif [ -f cc1-output ]; then /bin/cp cc1-output a.ppf\n"
    "elif [ -f \"$3.ppf\" ]; then /bin/cp \"$3.ppf\" a.ppf; fi\n"
    "[ -d started ] && : > \"started/$3\"\n"
    "[ -p cc1-ready ] && echo $$ > cc1-ready\n"
    "[ -p \"$3.gate\" ] && /usr/bin/head -n 1 \"$3.gate\" > /dev/null\n"
    "[ -f cc1-hang ] && exec /bin/sleep 60\n"
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

// A link named "a.ppf", wherever it leads, is the intermediate file too: as
// a source it is refused, and the link stays.
TEST(IntermediateFile, LinkNamedLikeItAsTheSourceIsRefusedAndKept)
{
    ScopedTempDir temp;
    fs::create_symlink("/proc/self/fd/3", "a.ppf");
    for (const std::string& name : Strings{"a.ppf", "./a.ppf"}) {
        const testsupport::RunResult result = runProcess({testsupport::assemblerBinary(), name});
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_EQ(result.output,
                  "Error: The input file is the intermediate file a.ppf; give the source another name.\n")
            << name;
        EXPECT_EQ(fs::read_symlink("a.ppf"), "/proc/self/fd/3") << name;
    }
}

// Setups that leave "a.ppf" or the preprocessor in an unusual state. Each
// must end with its own message and status and touch nothing else.
struct HostileCase {
    const char* name;
    std::function<void()> setUp;
    int status;
    std::string printed;
    std::string errors;  // "@" stands for the stand-in's directory
    bool preprocessorRuns;
    std::function<void()> check;  // what must hold afterwards
};

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::string kUnreadable = "Error: Cannot read the preprocessed file a.ppf.\n";
const std::string kProgram = ".text\nstart: mov r1, r2\njmp start\n";

std::vector<HostileCase> hostileCases()
{
    return {
        {"directory", [] { fs::create_directory("a.ppf"); }, 1, kUnreadable,
         "rozedov: error: a.ppf is a directory\n", false, [] { EXPECT_TRUE(fs::is_directory("a.ppf")); }},
        {"fifo", [] { ASSERT_EQ(::mkfifo("a.ppf", 0600), 0); }, 1, kUnreadable,
         "rozedov: error: a.ppf is a FIFO\n", false, [] { EXPECT_TRUE(fs::is_fifo("a.ppf")); }},
        {"linkToDevNull", [] { fs::create_symlink("/dev/null", "a.ppf"); }, 1, kUnreadable,
         "rozedov: error: a.ppf is a link to a character device\n", false,
         [] { EXPECT_TRUE(fs::is_symlink("a.ppf")); }},
        {"linkToDirectory", [] { fs::create_directory_symlink("/", "a.ppf"); }, 1, kUnreadable,
         "rozedov: error: a.ppf is a link to a directory\n", false, [] { EXPECT_TRUE(fs::is_symlink("a.ppf")); }},
        {"linkToIncludeFile",
         [] {
             writeFile("defs.inc", "#define KEEP 1\n");
             fs::create_symlink("defs.inc", "a.ppf");
             writeFile("cc1-output", kProgram);
         },
         0, "", "", true,
         [] {
             EXPECT_EQ(readFile("defs.inc"), "#define KEEP 1\n");
             EXPECT_FALSE(fs::is_symlink("a.ppf"));
             EXPECT_EQ(readFile("a.ppf"), kProgram);
         }},
        {"danglingLink", [] { fs::create_symlink("nowhere", "a.ppf"), writeFile("cc1-output", kProgram); }, 0, "",
         "", true, [] { EXPECT_EQ(readFile("a.ppf"), kProgram); }},
        {"earlierFileNotRewritten", [] { writeFile("a.ppf", kProgram); }, 1, kUnreadable,
         "rozedov: error: the preprocessor did not write a.ppf\n", true,
         [] { EXPECT_FALSE(fs::exists("a.ppf")); }},
        {"renamedIntoPlace",
         [] {
             writeFile("a.ppf", ".text\n");
             writeFile("cc1-output", kProgram);
             writeFile("cc1-rename", "");
         },
         0, "", "", true, [] { EXPECT_NE(readFile("prog.o.txt").find("when iA = 1"), std::string::npos); }},
        {"preprocessorFails", [] { writeFile("cc1-status", "3"); }, 1, "",
         "rozedov: error: preprocessing failed (status 3)\n", true, [] {}},
        {"preprocessorNotExecutable", [] { fs::permissions("bin/cc1", fs::perms::owner_read); }, 1, "",
         "rozedov: error: cannot run the preprocessor @/cc1: Permission denied\n", false, [] {}},
    };
}

class HostileSetup : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileSetup, EndsWithItsMessageAndTouchesNothingElse)
{
    const HostileCase& c = GetParam();
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    writeFile("prog.s", kProgram);
    c.setUp();
    const testsupport::RunResult result = runProcess({program.string(), "prog.s"});
    EXPECT_EQ(result.status, c.status) << result.errors;
    EXPECT_EQ(result.output, c.printed);
    std::string errors = c.errors;
    if (const std::size_t at = errors.find('@'); at != std::string::npos) {
        errors.replace(at, 1, (temp.path() / "bin").string());
    }
    EXPECT_EQ(result.errors, errors);
    EXPECT_EQ(fs::exists("cc1-args"), c.preprocessorRuns);
    EXPECT_EQ(fs::exists("prog.o.txt"), c.status == 0);
    c.check();
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileSetup, testing::ValuesIn(hostileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Without write access the old file cannot go; as root every file can, so
// this runs as an ordinary user.
TEST(HostileSetupUnprivileged, ReadOnlyDirectorySaysWhy)
{
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    const fs::perms readAndEnter = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(temp.path(), readAndEnter | fs::perms::owner_write);
    fs::permissions(temp.path() / "bin", readAndEnter | fs::perms::owner_write);
    fs::create_directory("ro");
    fs::current_path("ro");
    writeFile("prog.s", kProgram);
    writeFile("a.ppf", kProgram);
    fs::permissions(".", readAndEnter);
    const testsupport::RunResult result = runProcess(testsupport::asOrdinaryUser({program.string(), "prog.s"}));
    fs::permissions(".", fs::perms::owner_all);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.errors, "rozedov: error: cannot remove a.ppf: Permission denied\n");
}

// The process id the stand-in writes into the FIFO cc1-ready once it runs;
// opening the FIFO waits for it.
pid_t awaitStandIn()
{
    std::ifstream ready("cc1-ready");
    pid_t pid = -1;
    ready >> pid;
    return pid;
}

// Whether the process has ended (gone, or a zombie nobody reaps), waiting
// up to five seconds for it.
bool processEnds(pid_t pid)
{
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        return errno == ESRCH;
    }
    pollfd ended{fd, POLLIN, 0};
    const bool done = ::poll(&ended, 1, 5000) == 1;
    ::close(fd);
    return done;
}

// Everything in the directory but the stand-in's bin folder.
std::set<std::string> directoryEntries()
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) {
        names.insert(entry.path().filename().string());
    }
    names.erase("bin");
    return names;
}

struct InterruptCase {
    const char* name;
    int signal;
    bool duringParse;
};

void PrintTo(const InterruptCase& c, std::ostream* os)
{
    *os << c.name;
}

class Interrupted : public testing::TestWithParam<InterruptCase> {};

// A run ended by a signal leaves the earlier outputs, no temporary file and
// no preprocessor behind, and reports the signal in its status.
TEST_P(Interrupted, LeavesNothingBehind)
{
    const InterruptCase& c = GetParam();
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    writeFile("prog.s", kProgram);
    writeFile("prog.o.txt", "old code\n");
    writeFile("prog.o.dat", "old data\n");
    if (c.duringParse) {
        // Long enough that the parse is still at work when the signal comes.
        std::string text = ".text\n";
        for (int i = 0; i < 1000000; ++i) {
            text += "add R1, R2, R3\n";
        }
        writeFile("cc1-output", text);
    } else {
        writeFile("cc1-hang", "");
    }
    ASSERT_EQ(::mkfifo("cc1-ready", 0600), 0);
    const std::set<std::string> before = directoryEntries();

    testsupport::StartedProcess run({program.string(), "-l", "prog.s"}, "../run.out", "../run.err");
    const pid_t preprocessor = awaitStandIn();
    ASSERT_GT(preprocessor, 0);
    if (c.duringParse) {
        // Once the preprocessor has ended the run loads and parses.
        ASSERT_TRUE(processEnds(preprocessor));
    }
    ::kill(run.pid(), c.signal);
    EXPECT_EQ(run.finish(), 128 + c.signal);

    EXPECT_TRUE(processEnds(preprocessor));
    EXPECT_FALSE(fs::is_symlink("a.ppf"));
    std::set<std::string> after = directoryEntries();
    after.erase("a.ppf");
    after.erase("cc1-args");
    EXPECT_EQ(after, before);
    EXPECT_EQ(readFile("prog.o.txt"), "old code\n");
    EXPECT_EQ(readFile("prog.o.dat"), "old data\n");
    fs::remove("../run.out");
    fs::remove("../run.err");
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted,
                         testing::Values(InterruptCase{"interruptWhilePreprocessing", SIGINT, false},
                                         InterruptCase{"terminateWhilePreprocessing", SIGTERM, false},
                                         InterruptCase{"hangupWhilePreprocessing", SIGHUP, false},
                                         InterruptCase{"brokenPipeWhilePreprocessing", SIGPIPE, false},
                                         InterruptCase{"userSignalWhilePreprocessing", SIGUSR1, false},
                                         InterruptCase{"alarmWhilePreprocessing", SIGALRM, false},
                                         InterruptCase{"cpuLimitWhilePreprocessing", SIGXCPU, false},
                                         InterruptCase{"interruptWhileParsing", SIGINT, true},
                                         InterruptCase{"terminateWhileParsing", SIGTERM, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs in one directory take turns on "a.ppf": a run whose preprocessor is
// still at work holds up the next one, and each reads its own text.
TEST(TakingTurns, SecondRunWaitsForTheFirstToReadItsText)
{
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    const std::string slowText = ".data\n11\n";
    const std::string fastText = ".data\n22\n";
    for (const char* name : {"slow.s", "fast.s"}) {
        writeFile(name, "");
    }
    writeFile("slow.s.ppf", slowText);
    writeFile("fast.s.ppf", fastText);
    fs::create_directory("started");
    ASSERT_EQ(::mkfifo("cc1-ready", 0600), 0);
    ASSERT_EQ(::mkfifo("slow.s.gate", 0600), 0);

    testsupport::StartedProcess slow({program.string(), "slow.s"}, "../slow.out", "../slow.err");
    ASSERT_GT(awaitStandIn(), 0);
    fs::remove("cc1-ready");
    testsupport::StartedProcess fast({program.string(), "fast.s"}, "../fast.out", "../fast.err");
    // However long it is given, the second run's preprocessor does not start
    // while the first holds the folder.
    ::usleep(300000);
    EXPECT_FALSE(fs::exists("started/fast.s"));
    std::ofstream("slow.s.gate") << "go\n";
    EXPECT_EQ(slow.finish(), 0);
    EXPECT_EQ(fast.finish(), 0);

    EXPECT_TRUE(fs::exists("started/fast.s"));
    EXPECT_NE(readFile("fast.o.dat").find("x\"0016\""), std::string::npos) << readFile("fast.o.dat");
    EXPECT_NE(readFile("slow.o.dat").find("x\"000b\""), std::string::npos) << readFile("slow.o.dat");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("a.ppf")));
    EXPECT_EQ(readFile("a.ppf"), fastText);
    for (const char* name : {"../slow.out", "../slow.err", "../fast.out", "../fast.err"}) {
        fs::remove(name);
    }
}

// Nothing runs in a killed process; the preprocessor ends with it all the same.
TEST(InterruptedHard, KilledRunTakesThePreprocessorAlong)
{
    ScopedTempDir temp;
    const fs::path program = installStandIn(temp.path() / "bin");
    writeFile("prog.s", kProgram);
    writeFile("cc1-hang", "");
    ASSERT_EQ(::mkfifo("cc1-ready", 0600), 0);
    testsupport::StartedProcess run({program.string(), "prog.s"}, "../run.out", "../run.err");
    const pid_t preprocessor = awaitStandIn();
    ASSERT_GT(preprocessor, 0);
    ::kill(run.pid(), SIGKILL);
    EXPECT_EQ(run.finish(), 128 + SIGKILL);
    EXPECT_TRUE(processEnds(preprocessor));
    fs::remove("../run.out");
    fs::remove("../run.err");
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
