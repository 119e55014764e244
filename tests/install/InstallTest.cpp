// Installs the build into a temporary prefix and runs the installed program
// the way users do: by name through PATH, from a directory of their own.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::RunResult;
using testsupport::runProcess;
using testsupport::ScopedTempDir;
using testsupport::writeFile;

namespace {

constexpr const char* kSource =
    "; counts r1 up by r2 until it wraps\n"
    "#define STEP r2\n"
    ".text\n"
    "loop: add r1, r1, STEP\n"
    "      jmpnz loop\n"
    ".data\n"
    "      1234, 0xFFFE\n";

constexpr const char* kExpectedRom =
    "architecture Behavioral of instr_rom is\n"
    "begin\n"
    "    oQ <= \"000001001001010\"  when iA = 0 else\n"
    "          \"010101000000000\"  when iA = 1 else\n"
    "          \"000000000000000\";\n"
    "end Behavioral;\n";

constexpr const char* kExpectedData =
    "sMEM(0) <= x\"04d2\";\n"
    "sMEM(1) <= x\"fffe\";\n";

fs::path buildDir()
{
    return fs::path(testsupport::assemblerBinary()).parent_path();
}

// The value of KEY in the build's CMakeCache.txt ("KEY:TYPE=VALUE").
std::optional<std::string> cacheValue(const std::string& key)
{
    std::ifstream cache(buildDir() / "CMakeCache.txt");
    for (std::string line; std::getline(cache, line);) {
        const std::size_t colon = line.find(':');
        const std::size_t equals = line.find('=');
        if (colon != std::string::npos && equals != std::string::npos && colon < equals &&
            line.compare(0, colon, key) == 0 && colon == key.size()) {
            return line.substr(equals + 1);
        }
    }
    return std::nullopt;
}

// Sets PATH for the lifetime of the object.
class ScopedPath {
public:
    explicit ScopedPath(const std::string& value)
    {
        if (const char* old = ::getenv("PATH")) {
            m_previous = old;
        }
        ::setenv("PATH", value.c_str(), 1);
    }
    ~ScopedPath()
    {
        if (m_previous) {
            ::setenv("PATH", m_previous->c_str(), 1);
        } else {
            ::unsetenv("PATH");
        }
    }
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

private:
    std::optional<std::string> m_previous;
};

fs::path makeTempDirectory()
{
    std::string pattern = (fs::temp_directory_path() / "rozedov-install-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    return pattern;
}

class Install : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_prefix = makeTempDirectory();
        const std::string cmake = cacheValue("CMAKE_COMMAND").value_or("cmake");
        s_install = runProcess({cmake, "--install", buildDir().string(), "--prefix", s_prefix.string()});
    }

    static void TearDownTestSuite()
    {
        std::error_code error;
        fs::remove_all(s_prefix, error);
    }

    void SetUp() override
    {
        ASSERT_EQ(s_install.status, 0) << s_install.output;
    }

    // Only the installed bin directory and the system's own: cc1 is not on
    // it, so a run that works found the cc1 link the installation made.
    static std::string installedPath() { return (s_prefix / "bin").string() + ":/usr/bin:/bin"; }

    static fs::path s_prefix;
    static RunResult s_install;
};

fs::path Install::s_prefix;
RunResult Install::s_install;

// ---- installed layout -------------------------------------------------------

enum class Kind { File, Executable, Symlink };

struct InstalledFile {
    const char* path;
    Kind kind;
};

constexpr InstalledFile kInstalledFiles[] = {
    {"bin/rozedov", Kind::Symlink},
    {"libexec/rozedov/rozedov", Kind::Executable},
    {"libexec/rozedov/cc1", Kind::Symlink},
    {"share/man/man1/rozedov.1.gz", Kind::File},
    {"share/doc/rozedov/changelog.gz", Kind::File},
    {"share/doc/rozedov/copyright", Kind::File},
    {"share/vim/vimfiles/syntax/vorn.vim", Kind::File},
    {"share/vim/vimfiles/ftdetect/vorn.vim", Kind::File},
    {"share/vim/vimfiles/compiler/rozedov.vim", Kind::File},
    {"share/rozedov/vscode/package.json", Kind::File},
    {"share/rozedov/vscode/vorn.tmLanguage.json", Kind::File},
    {"share/rozedov/vscode/language-configuration.json", Kind::File},
    {"share/rozedov/vscode/README.md", Kind::File},
    {"share/rozedov/vscode/extension.js", Kind::File},
    {"share/rozedov/vscode/detect.js", Kind::File},
    {"share/rozedov/vscode/program.js", Kind::File},
    {"share/rozedov/vscode/package-lock.json", Kind::File},
};

TEST_F(Install, PutsEveryFileInPlace)
{
    for (const InstalledFile& file : kInstalledFiles) {
        SCOPED_TRACE(file.path);
        const fs::path path = s_prefix / file.path;
        switch (file.kind) {
        case Kind::Symlink:
            EXPECT_TRUE(fs::is_symlink(fs::symlink_status(path)));
            EXPECT_TRUE(fs::exists(path)) << "dangling link";
            break;
        case Kind::Executable:
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
            EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_exec, fs::perms::none);
            break;
        case Kind::File:
            EXPECT_TRUE(fs::is_regular_file(path));
            EXPECT_GT(fs::file_size(path), 0u);
            break;
        }
    }
}

TEST_F(Install, LinksTheCommandRelativelySoThePrefixCanMove)
{
    const fs::path command = s_prefix / "bin/rozedov";
    ASSERT_TRUE(fs::is_symlink(fs::symlink_status(command)));
    EXPECT_TRUE(fs::read_symlink(command).is_relative());
    EXPECT_EQ(fs::canonical(command), fs::canonical(s_prefix / "libexec/rozedov/rozedov"));
}

// ---- running the installed program ----------------------------------------

struct Invocation {
    const char* name;
    // argv[0] given the prefix and the current directory.
    std::string (*program)(const fs::path& prefix, const fs::path& cwd);
};

const Invocation kInvocations[] = {
    {"by name through PATH", [](const fs::path&, const fs::path&) { return std::string("rozedov"); }},
    {"by the absolute command link",
     [](const fs::path& prefix, const fs::path&) { return (prefix / "bin/rozedov").string(); }},
    {"by a relative command link",
     [](const fs::path& prefix, const fs::path& cwd) { return fs::relative(prefix / "bin/rozedov", cwd).string(); }},
    {"by the program in libexec",
     [](const fs::path& prefix, const fs::path&) { return (prefix / "libexec/rozedov/rozedov").string(); }},
};

TEST_F(Install, AssemblesHoweverTheProgramIsStarted)
{
    const ScopedPath path(installedPath());
    for (const Invocation& invocation : kInvocations) {
        SCOPED_TRACE(invocation.name);
        const ScopedTempDir work;
        writeFile("prog.vs", kSource);
        const RunResult run = runProcess({invocation.program(s_prefix, work.path()), "-l", "prog.vs"});
        ASSERT_EQ(run.status, 0) << run.output;
        for (const char* output : {"a.ppf", "prog.o.txt", "prog.o.dat", "prog.lst"}) {
            EXPECT_TRUE(fs::is_regular_file(output)) << output;
        }
    }
}

TEST_F(Install, WritesTheRomAndDataTexts)
{
    const ScopedPath path(installedPath());
    const ScopedTempDir work;
    writeFile("prog.vs", kSource);
    const RunResult run = runProcess({"rozedov", "prog.vs"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(readFile("prog.o.txt"), kExpectedRom);
    EXPECT_EQ(readFile("prog.o.dat"), kExpectedData);
}

// Extensions of assembly sources; other files (such as included .inc files)
// are only read through #include.
bool isSourceExtension(const std::string& extension)
{
    static const std::string kSourceExtensions[] = {".s", ".vs", ".vorn"};
    return std::find(std::begin(kSourceExtensions), std::end(kSourceExtensions), extension) !=
           std::end(kSourceExtensions);
}

TEST_F(Install, AssemblesTheInstalledExamples)
{
    const fs::path examples = s_prefix / "share/rozedov/examples";
    if (!fs::is_directory(examples) || fs::is_empty(examples)) {
        GTEST_SKIP() << "no examples installed";
    }
    const ScopedPath path(installedPath());
    const ScopedTempDir work;
    fs::copy(examples, work.path(), fs::copy_options::recursive);
    std::vector<fs::path> sources;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(work.path())) {
        if (entry.is_regular_file() && isSourceExtension(entry.path().extension().string())) {
            sources.push_back(entry.path());
        }
    }
    ASSERT_FALSE(sources.empty()) << "no example sources among the installed files";
    for (const fs::path& source : sources) {
        SCOPED_TRACE(source.string());
        const RunResult run = runProcess({"rozedov", source.string()});
        EXPECT_EQ(run.status, 0) << run.output;
        fs::path rom = source;
        rom.replace_extension(".o.txt");
        EXPECT_FALSE(readFile(rom).empty());
    }
}

// ---- the man page against the program -------------------------------------

struct DocumentedOption {
    const char* roff;                   // how the man page writes it
    std::vector<std::string> arguments; // a use the program must accept
};

const DocumentedOption kDocumentedOptions[] = {
    {"\\-o", {"-o", "named"}},
    {"\\-o", {"-onamed"}},
    {"\\-I", {"-Iinclude"}},
    {"\\-D", {"-DEXTRA=1"}},
    {"\\-U", {"-UEXTRA"}},
    {"\\-l", {"-l"}},
    {"\\-h", {"-h"}},
    {"\\-help", {"-help"}},
    {"\\-?", {"-?"}},
    {"\\-v", {"-v"}},
    {"\\-vc", {"-vc"}},
    {"\\-g", {"-g"}},
    {"\\-w", {"-w"}},
    {"\\-debug\\-dump", {"-debug-dump"}},
    {"\\-\\-fatal\\-warnings", {"--fatal-warnings"}},
    {"\\-\\-format=", {"--format=vhdl,mif,coe,hex,memh,memb,bin"}},
    {"\\-\\-depfile=", {"--depfile=prog.d"}},
};

TEST_F(Install, ManPageDocumentsOptionsTheProgramAccepts)
{
    const RunResult unpacked = runProcess({"gzip", "-dc", (s_prefix / "share/man/man1/rozedov.1.gz").string()});
    ASSERT_EQ(unpacked.status, 0);
    const std::string manPage = unpacked.output;
    const ScopedPath path(installedPath());
    for (const DocumentedOption& option : kDocumentedOptions) {
        SCOPED_TRACE(option.arguments.front());
        EXPECT_NE(manPage.find(option.roff), std::string::npos) << "not in the man page";
        const ScopedTempDir work;
        writeFile("prog.vs", kSource);
        std::vector<std::string> argv = {"rozedov"};
        argv.insert(argv.end(), option.arguments.begin(), option.arguments.end());
        argv.push_back("prog.vs");
        const RunResult run = runProcess(argv);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(run.output.find("Unrecognized"), std::string::npos) << run.output;
    }
}

}  // namespace
