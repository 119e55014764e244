#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "asm/CFileBuffer.h"
#include "asm/CFileTail.h"
#include "support/TestSupport.h"

namespace {

using testsupport::ScopedTempDir;

// Writes `text` to `path` in pieces of `piece` bytes with short pauses, as a
// preprocessor does, then raises `ended`.
void writeSlowly(const std::string& path, const std::string& text, std::size_t piece, std::atomic<bool>& ended)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    for (std::size_t at = 0; at < text.size(); at += piece) {
        const std::size_t size = std::min(piece, text.size() - at);
        ASSERT_EQ(::write(fd, text.data() + at, size), static_cast<ssize_t>(size));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::close(fd);
    ended = true;
}

std::string numberedLines(int count, const std::string& tail)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "line " + std::to_string(i) + ": mov r1, r2\n";
    }
    return text + tail;
}

struct TailCase {
    const char* name;
    std::string text;
    std::size_t piece;
};

class FileTail : public testing::TestWithParam<TailCase> {};

// Whatever the writer's pieces, the reader gets whole lines until the writer
// has ended, and then exactly the file.
TEST_P(FileTail, HandsOutWholeLinesThenEverything)
{
    const TailCase& c = GetParam();
    ScopedTempDir temp;
    std::atomic<bool> ended{false};
    CFileTail tail("out.ppf", [&ended] { return ended.load(); });
    CFileBuffer buffer;
    std::thread writer(writeSlowly, "out.ppf", c.text, c.piece, std::ref(ended));
    int cutLines = 0;
    while (tail.appendMore(buffer)) {
        const std::string_view got = buffer.text();
        if (!got.empty() && got.back() != '\n' && got.size() != c.text.size()) {
            ++cutLines;
        }
    }
    writer.join();
    EXPECT_EQ(cutLines, 0);
    EXPECT_EQ(buffer.text(), c.text);
    EXPECT_FALSE(tail.failed());
    EXPECT_FALSE(tail.appendMore(buffer));
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, FileTail,
    testing::Values(TailCase{"ByteByByte", numberedLines(20, ""), 1},
                    TailCase{"CutInsideLines", numberedLines(2000, ""), 7},
                    TailCase{"LastLineUnterminated", numberedLines(300, "end r1"), 64},
                    TailCase{"LineLongerThanAnyRead", std::string(3 << 20, 'x') + "\nshort\n", 1 << 19},
                    TailCase{"Empty", "", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileTailEnd, AWriterThatEndsWithoutTheFileFails)
{
    ScopedTempDir temp;
    CFileTail tail("never.ppf", [] { return true; });
    CFileBuffer buffer;
    EXPECT_FALSE(tail.appendMore(buffer));
    EXPECT_TRUE(tail.failed());
    EXPECT_TRUE(buffer.m_data.empty());
}

}  // namespace
