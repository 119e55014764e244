#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;

namespace {

bool haveVim()
{
    return fs::exists("/usr/bin/vim");
}

// Vim with the compiler plugin, headless: ":make" on a program with two
// errors, aligned with blanks as students write, fills the quickfix list with
// both, at their file, line and column in the file as written.
TEST(VimCompilerPlugin, MakeFillsTheQuickfixList)
{
    if (!haveVim()) {
        GTEST_SKIP() << "vim is not installed (apt-get install vim)";
    }
    ScopedTempDir temp;
    writeFile("two.s", ".text\nstart:  mov   R8, R1\n        add   R1, R2\n        jmp   start\n");
    const std::string runtime = (testsupport::sourceDir() / "editors" / "vim").string();
    const testsupport::RunResult result = runProcess(
        {"/usr/bin/vim", "-es", "-N", "-u", "NONE", "-i", "NONE", "--cmd", "set rtp^=" + runtime, "-c",
         "compiler rozedov", "-c", "let &makeprg = '" + testsupport::assemblerBinary() + " %:S'", "-c",
         "silent make", "-c",
         "call writefile(map(getqflist(), {_, e -> bufname(e.bufnr) . ':' . e.lnum . ':' . e.col . ':' . e.type}), "
         "'quickfix.txt')",
         "-c", "qa!", "two.s"});
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(readFile("quickfix.txt"), "two.s:2:15:e\ntwo.s:3:21:e\n");
}

// The problem matcher of the VS Code folder reads the same lines.
TEST(VsCodeProblemMatcher, IsDeclaredWithTheDiagnosticPattern)
{
    const std::string package = readFile(testsupport::sourceDir() / "editors" / "vscode" / "package.json");
    EXPECT_NE(package.find("\"problemMatchers\""), std::string::npos);
    EXPECT_NE(package.find(R"(^(.*):(\\d+):(\\d+):\\s+(error|warning|note):\\s+(.*)$)"), std::string::npos);
    const std::string tasks = readFile(testsupport::sourceDir() / "editors" / "vscode" / "tasks.json");
    EXPECT_NE(tasks.find("\"$rozedov\""), std::string::npos);
}

}  // namespace
