#include "asm/CPreprocessedFile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "asm/CFileBuffer.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::ScopedTempDir;
using testsupport::writeFile;
using Sharing = CPreprocessedFile::Sharing;

namespace {

// Where this process, standing in for the run's preprocessor, writes.
std::string preprocessorPath(const CPreprocessedFile& file)
{
    return file.descriptor() >= 0 ? "/proc/self/fd/" + std::to_string(file.descriptor()) : "a.ppf";
}

// Writes as the preprocessor does: truncating what is there.
void writeAsPreprocessor(const CPreprocessedFile& file, const std::string& text)
{
    std::ofstream(preprocessorPath(file), std::ios::binary | std::ios::trunc) << text;
}

// Whether another run could take the directory's lock in the mode now.
bool otherRunCanLock(int mode)
{
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool locked = ::flock(fd, mode | LOCK_NB) == 0;
    ::close(fd);
    return locked;
}

struct FileCase {
    const char* name;
    Sharing sharing;
    std::optional<std::string> written;  // none: the preprocessor writes nothing
    std::string printed;                 // by load()
    std::optional<std::string> left;     // "a.ppf" afterwards; none: absent
};

void PrintTo(const FileCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::string kUnreadable = "Error: Cannot read the preprocessed file a.ppf.\n";

class PreprocessedFile : public testing::TestWithParam<FileCase> {};

// Either way, a run reads what its preprocessor wrote and leaves "a.ppf" as
// a regular file with it, or none when nothing was written; an earlier
// "a.ppf" never shows through.
TEST_P(PreprocessedFile, ReadsWhatThePreprocessorWroteAndLeavesIt)
{
    const FileCase& c = GetParam();
    ScopedTempDir temp;
    writeFile("a.ppf", "an earlier run's text\n");
    CPreprocessedFile file(c.sharing);
    ASSERT_TRUE(file.prepare());
    EXPECT_EQ(file.descriptor() >= 0, c.sharing == Sharing::WherePossible);
    EXPECT_EQ(CPreprocessedFile::isSharedLink(), c.sharing == Sharing::WherePossible);
    if (c.written) {
        writeAsPreprocessor(file, *c.written);
    }
    CFileBuffer buffer;
    testing::internal::CaptureStdout();
    const bool loaded = file.load(buffer);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(loaded, c.printed.empty());
    if (loaded) {
        EXPECT_EQ(buffer.text(), *c.written);
    }
    file.finish();
    EXPECT_FALSE(fs::is_symlink("a.ppf"));
    ASSERT_EQ(fs::exists("a.ppf"), c.left.has_value());
    if (c.left) {
        EXPECT_EQ(readFile("a.ppf"), *c.left);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat status {};
        ASSERT_EQ(::stat("a.ppf", &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0666 & ~mask);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, PreprocessedFile,
    testing::Values(FileCase{"sideBySide", Sharing::WherePossible, "# 1 \"p.s\"\n.data\n1\n", "", "# 1 \"p.s\"\n.data\n1\n"},
                    FileCase{"sideBySideEmpty", Sharing::WherePossible, "", "", ""},
                    FileCase{"sideBySideNothingWritten", Sharing::WherePossible, std::nullopt, kUnreadable, std::nullopt},
                    FileCase{"inTurns", Sharing::Never, ".data\n2\n", "", ".data\n2\n"},
                    FileCase{"inTurnsNothingWritten", Sharing::Never, std::nullopt, kUnreadable, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// The link stays while another run may still open it; the last run to end
// puts its text in place.
TEST(PreprocessedFileSharing, LastRunPutsItsTextInPlace)
{
    ScopedTempDir temp;
    CPreprocessedFile first;
    CPreprocessedFile second;
    ASSERT_TRUE(first.prepare());
    ASSERT_TRUE(second.prepare());
    EXPECT_TRUE(otherRunCanLock(LOCK_SH));
    EXPECT_FALSE(otherRunCanLock(LOCK_EX));
    writeAsPreprocessor(first, "first\n");
    writeAsPreprocessor(second, "second\n");
    first.finish();
    EXPECT_TRUE(CPreprocessedFile::isSharedLink());
    second.finish();
    EXPECT_FALSE(fs::is_symlink("a.ppf"));
    EXPECT_EQ(readFile("a.ppf"), "second\n");
    EXPECT_TRUE(otherRunCanLock(LOCK_EX));
}

// Taking turns, a run holds the directory alone until it has read "a.ppf".
TEST(PreprocessedFileSharing, InTurnsHoldsTheDirectoryAlone)
{
    ScopedTempDir temp;
    CPreprocessedFile file(Sharing::Never);
    ASSERT_TRUE(file.prepare());
    EXPECT_FALSE(otherRunCanLock(LOCK_SH));
    file.finish();
    EXPECT_TRUE(otherRunCanLock(LOCK_EX));
}

// A directory, FIFO or device named "a.ppf" is refused and left alone.
TEST(PreprocessedFileSharing, IrregularFileIsRefused)
{
    ScopedTempDir temp;
    fs::create_directory("a.ppf");
    CPreprocessedFile file;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(file.prepare());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kUnreadable);
    file.finish();
    EXPECT_TRUE(fs::is_directory("a.ppf"));
}

}  // namespace
