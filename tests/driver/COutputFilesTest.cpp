#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
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

Strings operator+(Strings first, const Strings& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// What every output holds before a run: a run that fails must leave it.
const char* const kOldOutputs[] = {"prog.o.txt", "prog.o.dat", "prog.lst"};

void writeOldOutputs()
{
    for (const char* name : kOldOutputs) {
        writeFile(name, std::string("old ") + name + "\n");
    }
}

void expectOldOutputs()
{
    for (const char* name : kOldOutputs) {
        EXPECT_EQ(readFile(name), std::string("old ") + name + "\n") << name;
    }
}

std::set<std::string> entries(const fs::path& folder = ".")
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// `count` instructions, each with a label, and `words` data words.
std::string program(int count, int words)
{
    std::string text = ".text\n";
    for (int i = 0; i < count; ++i) {
        text += "label" + std::to_string(i) + ": mov r1, r2\n";
    }
    text += ".data\n";
    for (int i = 0; i < words; ++i) {
        text += std::to_string(10000 + i) + "\n";
    }
    return text;
}

// The program run with a file size limit of `blocks` 512-byte blocks and
// SIGXFSZ ignored, so a write past it fails with EFBIG as on a full disk.
testsupport::RunResult runWithFileLimit(int blocks, const Strings& arguments)
{
    Strings argv = {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; exec \"$@\"", "sh",
                    testsupport::assemblerBinary()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProcess(argv);
}

struct FullDiskCase {
    const char* name;
    int instructions;
    int words;
    Strings options;
    std::set<std::string> failing;  // the outputs larger than the limit
};

void PrintTo(const FullDiskCase& c, std::ostream* os)
{
    *os << c.name;
}

class FullDisk : public testing::TestWithParam<FullDiskCase> {};

// A file that cannot be written leaves every old output as it was: the set
// is replaced whole or not at all, and no temporary file stays.
TEST_P(FullDisk, LeavesEveryOldOutput)
{
    const FullDiskCase& c = GetParam();
    constexpr int kLimitBlocks = 16;
    constexpr std::size_t kLimit = kLimitBlocks * 512;
    ScopedTempDir temp;
    writeFile("prog.s", program(c.instructions, c.words));
    Strings arguments = c.options;
    arguments.push_back("prog.s");

    // Unlimited, the failing outputs are the files past the limit.
    ASSERT_EQ(runProcess(Strings{testsupport::assemblerBinary()} + arguments).status, 0);
    std::string printed;
    std::string errors;
    for (const char* name : {"a.ppf", "prog.o.txt", "prog.o.dat", "prog.lst"}) {
        if (fs::exists(name)) {
            EXPECT_EQ(fs::file_size(name) > kLimit, c.failing.count(name) == 1) << name;
        }
        if (c.failing.count(name) == 1) {
            printed += std::string("Error in error #1316: Failed to open output file ") + name + ".\n\n";
            errors += std::string("rozedov: error: cannot write ") + name + ": File too large\n";
        }
    }

    writeOldOutputs();
    const std::set<std::string> before = entries();
    const testsupport::RunResult result = runWithFileLimit(kLimitBlocks, arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, printed);
    EXPECT_EQ(result.errors, errors);
    expectOldOutputs();
    EXPECT_EQ(entries(), before);
}

INSTANTIATE_TEST_SUITE_P(Outputs, FullDisk,
                         testing::Values(FullDiskCase{"code", 300, 1, {}, {"prog.o.txt"}},
                                         FullDiskCase{"data", 1, 500, {}, {"prog.o.dat"}},
                                         FullDiskCase{"codeWithListing", 300, 1, {"-l"}, {"prog.o.txt", "prog.lst"}},
                                         FullDiskCase{"dataWithListing", 1, 500, {"-l"}, {"prog.o.dat", "prog.lst"}},
                                         FullDiskCase{"listing", 120, 10, {"-l"}, {"prog.lst"}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SameFileCase {
    const char* name;
    std::function<void()> setUp;
    Strings arguments;
    const char* output;  // the name the message gives
};

void PrintTo(const SameFileCase& c, std::ostream* os)
{
    *os << c.name;
}

class OutputIsInput : public testing::TestWithParam<SameFileCase> {};

// An output that is the source under any name is refused before anything
// runs, and the source stays.
TEST_P(OutputIsInput, IsRefusedAndTheSourceKept)
{
    const SameFileCase& c = GetParam();
    ScopedTempDir temp;
    const std::string source = ".text\nmov r1, r2\n";
    for (const char* name : {"prog.s", "prog.lst", "prog.txt"}) {
        writeFile(name, source);
    }
    c.setUp();
    const testsupport::RunResult result = runProcess(Strings{testsupport::assemblerBinary()} + c.arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, std::string("Error: The output file ") + c.output + " is the input file.\n");
    for (const char* name : {"prog.s", "prog.lst", "prog.txt"}) {
        EXPECT_EQ(readFile(name), source) << name;
    }
    EXPECT_FALSE(fs::exists("a.ppf"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, OutputIsInput,
    testing::Values(SameFileCase{"listingOverSource", [] {}, {"-l", "prog.lst"}, "prog.lst"},
                    SameFileCase{"codeOverSource", [] {}, {"-o", "prog", "prog.txt"}, "prog.txt"},
                    SameFileCase{"throughAPath", [] {}, {"-o./prog", "prog.txt"}, "./prog.txt"},
                    SameFileCase{"symbolicLink", [] { fs::create_symlink("prog.s", "out.txt"); },
                                 {"-o", "out", "prog.s"}, "out.txt"},
                    SameFileCase{"hardLink", [] { fs::create_hard_link("prog.s", "prog.o.dat"); }, {"prog.s"},
                                 "prog.o.dat"}),
    [](const auto& info) { return std::string(info.param.name); });

// An output name that is a link is written through: the link stays and its
// target gets the new text, also when the target does not exist yet.
TEST(OutputLinks, AreWrittenThrough)
{
    ScopedTempDir temp;
    fs::create_directory("vhdl");
    writeFile("vhdl/rom.txt", "old rom\n");
    fs::create_symlink("vhdl/rom.txt", "prog.o.txt");
    fs::create_symlink("vhdl/data.txt", "prog.o.dat");
    writeFile("prog.s", ".text\nmov r1, r2\n.data\n7\n");
    const testsupport::RunResult result = runProcess({testsupport::assemblerBinary(), "prog.s"});
    ASSERT_EQ(result.status, 0) << result.output << result.errors;
    EXPECT_TRUE(fs::is_symlink("prog.o.txt"));
    EXPECT_TRUE(fs::is_symlink("prog.o.dat"));
    EXPECT_NE(readFile("vhdl/rom.txt").find("architecture Behavioral of instr_rom"), std::string::npos);
    EXPECT_EQ(readFile("vhdl/data.txt"), "sMEM(0) <= x\"0007\";\n");
    EXPECT_EQ(entries("vhdl"), (std::set<std::string>{"data.txt", "rom.txt"}));
}

// A copy of the program beside a stand-in preprocessor that copies big.s.
fs::path installCopyingPreprocessor()
{
    fs::create_directory("bin");
    fs::copy_file(testsupport::assemblerBinary(), "bin/rozedov");
    // exec: the copy is the preprocessor itself, so the run's SIGKILL on a
    // signal ends it; a copy left running as the shell's child would go on
    // writing a.ppf under the next run.
    writeFile("bin/cc1", "#!/bin/sh\nexec /bin/cp big.s a.ppf\n");
    fs::permissions("bin/cc1", fs::perms::owner_all);
    return fs::absolute("bin/rozedov");
}

std::string bigProgram()
{
    std::string text = ".text\n";
    for (int i = 0; i < 150000; ++i) {
        text += "add R1, R2, R3\n";
    }
    return text;
}

// Running out of memory is an error like any other: a message, status 1,
// the old outputs untouched.
TEST(OutOfMemory, IsReportedAndLeavesTheOldOutputs)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    ScopedTempDir temp;
    const fs::path program = installCopyingPreprocessor();
    writeFile("big.s", bigProgram());
    writeFile("prog.s", "");
    writeOldOutputs();
    const testsupport::RunResult result =
        runProcess({"/bin/sh", "-c", "ulimit -v 40000; exec \"$0\" -l prog.s", program.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Error: Out of memory.\n");
    expectOldOutputs();
}

// Waits up to `milliseconds` for the process to end; true when it has.
bool endsWithin(pid_t pid, int milliseconds)
{
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        return true;
    }
    pollfd ended{fd, POLLIN, 0};
    const bool done = ::poll(&ended, 1, milliseconds) == 1;
    ::close(fd);
    return done;
}

// Signals at any moment of a run (preprocessing, parse, layout, writing):
// the outputs are the old ones or the new ones, never a mixture, and no
// temporary file stays.
TEST(SignalsAtAnyMoment, LeaveTheOldOutputsOrTheNewOnes)
{
    ScopedTempDir temp;
    const fs::path program = installCopyingPreprocessor();
    writeFile("big.s", bigProgram());
    writeFile("prog.s", "");
    ASSERT_EQ(runProcess({program.string(), "-l", "prog.s"}).status, 0);
    std::vector<std::string> newOutputs;
    for (const char* name : kOldOutputs) {
        newOutputs.push_back(readFile(name));
    }
    auto holdAll = [](const std::vector<std::string>& contents) {
        for (std::size_t i = 0; i < contents.size(); ++i) {
            if (readFile(kOldOutputs[i]) != contents[i]) {
                return false;
            }
        }
        return true;
    };
    // The start of each output, for a failure's message.
    auto heads = [] {
        std::string text;
        for (const char* name : kOldOutputs) {
            text += std::string(name) + " \"" + readFile(name).substr(0, 24) + "\" ";
        }
        return text;
    };
    std::vector<std::string> oldOutputs;
    for (const char* name : kOldOutputs) {
        oldOutputs.push_back(std::string("old ") + name + "\n");
    }
    std::set<std::string> expected = entries();
    // A run ended before its preprocessor wrote leaves no a.ppf.
    expected.erase("a.ppf");
    int interrupted = 0;
    for (int delay : {0, 5, 20, 50, 100, 150, 200, 300, 400}) {
        for (int signal : {SIGINT, SIGTERM}) {
            writeOldOutputs();
            testsupport::StartedProcess run({program.string(), "-l", "prog.s"}, "run.out", "run.err");
            if (!endsWithin(run.pid(), delay)) {
                ::kill(run.pid(), signal);
            }
            const int status = run.finish();
            EXPECT_TRUE(status == 0 || status == 128 + signal) << "delay " << delay << ": " << status;
            // A signal after the files were put in place leaves the new set.
            const bool allNew = holdAll(newOutputs);
            EXPECT_TRUE(allNew || (status != 0 && holdAll(oldOutputs)))
                << "delay " << delay << ", status " << status << ": " << heads() << "\n"
                << readFile("run.out") << readFile("run.err");
            interrupted += status != 0 ? 1 : 0;
            std::set<std::string> left = entries();
            for (const char* name : {"a.ppf", "run.out", "run.err"}) {
                left.erase(name);
            }
            EXPECT_EQ(left, expected) << "delay " << delay;
        }
    }
    EXPECT_GT(interrupted, 0);
}

// A process killed while it writes (here by the file size limit's own
// signal) can clean up nothing; its unnamed temporary files vanish with it.
TEST(KilledWhileWriting, LeavesNoTemporaryFile)
{
    ScopedTempDir temp;
    writeFile("prog.s", program(300, 1));
    writeOldOutputs();
    const std::set<std::string> before = entries();
    const testsupport::RunResult result =
        runProcess({"/bin/sh", "-c", "ulimit -f 16; exec \"$0\" -l prog.s", testsupport::assemblerBinary()});
    EXPECT_EQ(result.status, 128 + SIGXFSZ);
    expectOldOutputs();
    std::set<std::string> after = entries();
    after.erase("a.ppf");
    EXPECT_EQ(after, before);
}

}  // namespace
