// Setups that once made a run lose or corrupt files, hang, or fail for no
// good reason. Each runs the real program (and the real preprocessor) and
// checks the message, the status and every file involved.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
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

constexpr uid_t kNobody = 65534;
const std::string kSource = ".text\nstart: mov r1, r2\njmp start\n.data\n7\n";
const std::string kOld = "old\n";

std::string unwritten(const std::string& path)
{
    return "Error in error #1316: Failed to open output file " + path + ".\n\n";
}

std::string cannotWrite(const std::string& path, const std::string& reason)
{
    return "rozedov: error: cannot write " + path + ": " + reason + "\n";
}

// The program and its preprocessor, copied where any user may run them.
fs::path installProgram(const fs::path& directory)
{
    fs::create_directories(directory);
    fs::copy_file(testsupport::assemblerBinary(), directory / "rozedov");
    fs::create_symlink(ROZEDOV_CC1, directory / "cc1");
    fs::permissions(directory, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
    return directory / "rozedov";
}

void giveToNobody(const fs::path& path)
{
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0) << path;
    }
}

mode_t modeOf(const fs::path& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

struct Prepared {
    fs::path program;  // the program to run
    bool skip = false;
    std::string why;   // why the case is skipped
};

struct FaultCase {
    const char* name;
    // Prepares the folder (the current directory, holding prog.s) and says
    // which program runs; the cases run as an ordinary user give that user
    // what it needs.
    std::function<void(Prepared&)> setUp;
    Strings arguments;  // before "prog.s"
    int status;
    std::string printed;
    std::string errors;
    std::function<void()> check;  // every file involved, afterwards
    bool ordinaryUser = false;
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<FaultCase> faultCases()
{
    auto oldOutputs = [] {
        writeFile("prog.o.txt", kOld);
        writeFile("prog.o.dat", kOld);
    };
    auto oldOutputsStay = [] {
        EXPECT_EQ(readFile("prog.o.txt"), kOld);
        EXPECT_EQ(readFile("prog.o.dat"), kOld);
    };
    auto newOutputs = [] {
        EXPECT_NE(readFile("prog.o.txt").find("architecture Behavioral"), std::string::npos);
        EXPECT_EQ(readFile("prog.o.dat"), "sMEM(0) <= x\"0007\";\n");
    };
    const std::string tooLong(300, 'n');
    return {
        {"listingIsADirectory",
         [=](Prepared&) {
             oldOutputs();
             fs::create_directory("prog.lst");
         },
         {"-l"}, 1, unwritten("prog.lst"), cannotWrite("prog.lst", "Is a directory"),
         [=] {
             oldOutputsStay();
             EXPECT_TRUE(fs::is_directory("prog.lst"));
         }},
        {"imageIsADirectory",
         [=](Prepared&) {
             oldOutputs();
             fs::create_directory("prog.o.data.memh");
         },
         {"--format=memh"}, 1, unwritten("prog.o.data.memh"), cannotWrite("prog.o.data.memh", "Is a directory"),
         [=] {
             oldOutputsStay();
             EXPECT_FALSE(fs::exists("prog.o.code.memh"));
         }},
        {"everyNameTooLong", [](Prepared&) {}, {"-o", tooLong}, 1,
         unwritten(tooLong + ".txt") + unwritten(tooLong + ".dat"),
         cannotWrite(tooLong + ".txt", "File name too long") + cannotWrite(tooLong + ".dat", "File name too long"),
         [] { EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 2); }},
        {"linkToACharacterDevice",
         [](Prepared& setup) {
             // A device of the run's own: a regression must not replace the machine's.
             if (::mknod("null", S_IFCHR | 0666, makedev(1, 3)) != 0) {
                 setup.skip = true;
                 setup.why = "no device files can be made here";
                 return;
             }
             fs::create_symlink("null", "prog.o.dat");
         },
         {}, 0, "", "",
         [] {
             EXPECT_TRUE(fs::is_character_file("null"));
             EXPECT_TRUE(fs::is_symlink("prog.o.dat"));
             EXPECT_NE(readFile("prog.o.txt").find("architecture Behavioral"), std::string::npos);
         }},
        {"linkToAFifo",
         [](Prepared&) {
             ASSERT_EQ(::mkfifo("pipe", 0600), 0);
             fs::create_symlink("pipe", "prog.o.dat");
             // A reader of the FIFO, for as long as the run writes to it.
             writeFile("reader.sh", "/bin/cat pipe > from-pipe\n");
         },
         {}, 0, "", "",
         [] {
             EXPECT_TRUE(fs::is_fifo("pipe"));
             EXPECT_TRUE(fs::is_symlink("prog.o.dat"));
             EXPECT_EQ(readFile("from-pipe"), "sMEM(0) <= x\"0007\";\n");
         }},
        {"permissionBitsKept",
         [=](Prepared&) {
             oldOutputs();
             fs::permissions("prog.o.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
         },
         {}, 0, "", "",
         [=] {
             newOutputs();
             EXPECT_EQ(modeOf("prog.o.txt"), 0640u);
             EXPECT_EQ(modeOf("prog.o.dat"), newFileMode());
         }},
        {"depFileIsTheSource", [](Prepared&) {}, {"--depfile=prog.s"}, 1,
         "Error: The output file prog.s is the input file.\n",
         "rozedov: error: the output file 'prog.s' is the source 'prog.s': writing it would destroy the source\n",
         [] {
             EXPECT_EQ(readFile("prog.s"), kSource);
             EXPECT_FALSE(fs::exists("a.ppf"));
         }},
        {"depFileInAMissingFolder", [=](Prepared&) { oldOutputs(); }, {"--depfile=no/such/prog.d"}, 1, unwritten("no/such/prog.d"),
         cannotWrite("no/such/prog.d", "No such file or directory"),
         [=] {
             oldOutputsStay();
             EXPECT_FALSE(fs::exists("a.ppf"));
         }},
        {"depFileIsTheIntermediateFile", [=](Prepared&) { oldOutputs(); }, {"--depfile=./a.ppf"}, 1, unwritten("./a.ppf"),
         cannotWrite("./a.ppf", "it is the preprocessor's file a.ppf"), oldOutputsStay},
        {"quietWarningsAreNotFatal", [](Prepared&) { writeFile("prog.s", ".text\njmp 600\n"); },
         {"-w", "--fatal-warnings"}, 0, "", "",
         [] { EXPECT_NE(readFile("prog.o.txt").find("when iA = 0"), std::string::npos); }},
        {"ordinaryUserLinkToDevNull",
         [](Prepared& setup) {
             setup.program = installProgram("../bin");
             giveToNobody(".");
             fs::create_symlink("/dev/null", "prog.o.dat");
         },
         {}, 0, "", "",
         [] {
             EXPECT_TRUE(fs::is_character_file("/dev/null"));
             EXPECT_TRUE(fs::is_symlink("prog.o.dat"));
         },
         true},
        {"stickyFolderFileOfAnotherUser",
         [](Prepared& setup) {
             if (::geteuid() != 0) {
                 setup.skip = true;
                 setup.why = "needs root to make a file of another user";
                 return;
             }
             setup.program = installProgram("../bin");
             fs::permissions(".", fs::perms::all | fs::perms::sticky_bit);
             writeFile("prog.o.txt", kOld);
             giveToNobody("prog.o.txt");
             // The listing belongs to root: in a sticky folder nobody may not replace it.
             writeFile("prog.lst", kOld);
         },
         {"-l"}, 1, unwritten("prog.lst"), cannotWrite("prog.lst", "Operation not permitted"),
         [] {
             EXPECT_EQ(readFile("prog.o.txt"), kOld);
             EXPECT_FALSE(fs::exists("prog.o.dat"));
             EXPECT_EQ(readFile("prog.lst"), kOld);
         },
         true},
        {"folderThatCannotBeLocked",
         [](Prepared& setup) {
             if (::geteuid() != 0) {
                 setup.skip = true;
                 setup.why = "needs root to make a folder another user may write but not read";
                 return;
             }
             setup.program = installProgram("../bin");
             fs::permissions(".", fs::perms::owner_all | fs::perms::group_write | fs::perms::group_exec |
                                      fs::perms::others_write | fs::perms::others_exec);
         },
         {}, 0, "",
         "rozedov: warning: cannot lock the folder for a.ppf: Permission denied; runs side by side here may mix "
         "their files\n",
         newOutputs, true},
        {"preprocessorClosesInheritedDescriptors",
         [](Prepared& setup) {
             fs::create_directory("wrapped");
             fs::copy_file(testsupport::assemblerBinary(), "wrapped/rozedov");
             writeFile("wrapped/cc1", std::string("#!/bin/sh\nexec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-\nexec ") +
                                          ROZEDOV_CC1 + " \"$@\"\n");
             fs::permissions("wrapped/cc1", fs::perms::owner_all);
             setup.program = fs::absolute("wrapped/rozedov");
         },
         {}, 0, "", "", newOutputs},
    };
}

class RunFault : public testing::TestWithParam<FaultCase> {};

TEST_P(RunFault, EndsWithItsMessageAndKeepsEveryFile)
{
    const FaultCase& c = GetParam();
    ScopedTempDir temp;
    // Any user may pass through to the folder of the run.
    fs::permissions(temp.path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
    fs::create_directory("run");
    fs::current_path("run");
    writeFile("prog.s", kSource);
    Prepared setup{testsupport::assemblerBinary(), false, {}};
    c.setUp(setup);
    if (setup.skip) {
        GTEST_SKIP() << setup.why;
    }
    std::unique_ptr<testsupport::StartedProcess> reader;
    if (fs::exists("reader.sh")) {
        reader = std::make_unique<testsupport::StartedProcess>(Strings{"/bin/sh", "reader.sh"}, "../reader.out",
                                                               "../reader.err");
    }
    Strings command = {setup.program.string()};
    command.insert(command.end(), c.arguments.begin(), c.arguments.end());
    command.push_back("prog.s");
    const testsupport::RunResult result = runProcess(c.ordinaryUser ? testsupport::asOrdinaryUser(command) : command);
    if (reader) {
        EXPECT_EQ(reader->finish(), 0);
    }
    EXPECT_EQ(result.status, c.status) << result.errors;
    EXPECT_EQ(result.output, c.printed);
    EXPECT_EQ(result.errors, c.errors);
    c.check();
    // No temporary file stays behind.
    for (const auto& entry : fs::directory_iterator(".")) {
        EXPECT_EQ(entry.path().filename().string().rfind(".rozedov-", 0), std::string::npos) << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Setups, RunFault, testing::ValuesIn(faultCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// With "stty tostop", a process that is not in the terminal's foreground
// group is stopped when it writes there: the preprocessor, reporting a
// missing include on the terminal, must not be.
TEST(Terminal, PreprocessorMessagesDoNotStopTheRun)
{
    ScopedTempDir temp;
    writeFile("prog.s", "#include \"nowhere.inc\"\n.text\n");
    const testsupport::RunResult result =
        runProcess({"/usr/bin/timeout", "20", "/usr/bin/script", "-qec",
                    "stty tostop; " + testsupport::assemblerBinary() + " prog.s", "/dev/null"});
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("nowhere.inc"), std::string::npos) << result.output;
}

// Standard output closed early (a pager or "head" quits): the run ends by
// the signal, leaving no temporary file and a plain "a.ppf".
TEST(ClosedOutput, EndsTheRunInOrder)
{
    ScopedTempDir temp;
    std::string source = ".text\n";
    for (int i = 0; i < 5000; ++i) {
        source += "mov R8, R1\n";
    }
    writeFile("bad.s", source);
    const testsupport::RunResult result = runProcess(
        {"/bin/bash", "-c", "\"$0\" bad.s 2>/dev/null | head -n 1 >/dev/null; echo ${PIPESTATUS[0]}",
         testsupport::assemblerBinary()});
    EXPECT_EQ(result.output, "141\n");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("a.ppf")));
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"a.ppf", "bad.s"}));
}

}  // namespace
