#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::ScopedTempDir;
using testsupport::StartedProcess;

namespace {

// What a run leaves: status, standard output and its two output files.
struct RunOutputs {
    int status = 0;
    std::string printed;
    std::string code;
    std::string data;
    bool operator==(const RunOutputs&) const = default;
};

// A program of its own per index: a different length, labels and data, so
// that one run's preprocessed text in another run's outputs shows.
std::string programText(int index)
{
    std::string text = ".text\n";
    for (int i = 0; i <= 20 * index; ++i) {
        const std::string label = "p" + std::to_string(index) + "_" + std::to_string(i);
        text += label + ": add R" + std::to_string(i % 8) + ", R" + std::to_string(index % 8) + ", R1\n";
        text += "       jmpnz " + label + "\n";
    }
    text += ".data\n";
    for (int i = 0; i < 5 + index; ++i) {
        text += std::to_string(index * 100 + i) + "\n";
    }
    return text;
}

// A source with an error: its messages must stay its own too.
std::string failingProgramText()
{
    return ".text\nstart: mov R1, R2\njmp nowhere\n";
}

RunOutputs collect(int status, const std::string& stem)
{
    return {status, readFile(stem + ".out"), readFile(stem + ".o.txt"), readFile(stem + ".o.dat")};
}

RunOutputs runAlone(const std::string& stem)
{
    StartedProcess run({testsupport::assemblerBinary(), stem + ".s"}, stem + ".out", stem + ".err");
    return collect(run.finish(), stem);
}

void removeOutputs(const std::string& stem)
{
    for (const char* suffix : {".o.txt", ".o.dat", ".out", ".err"}) {
        fs::remove(stem + suffix);
    }
}

// Runs side by side in one directory share "a.ppf": each must still give
// exactly what it gives alone, whatever the others do at the same time.
TEST(ConcurrentRuns, EachRunGivesWhatItGivesAlone)
{
    constexpr int kPrograms = 4;
    constexpr int kRounds = 6;
    ScopedTempDir temp;
    std::vector<std::string> stems;
    for (int index = 0; index < kPrograms; ++index) {
        stems.push_back("prog" + std::to_string(index));
        testsupport::writeFile(stems.back() + ".s", index == kPrograms - 1 ? failingProgramText() : programText(index));
    }
    // The same source twice at once as well.
    stems.push_back("prog0");

    std::vector<RunOutputs> alone;
    for (int index = 0; index < kPrograms; ++index) {
        alone.push_back(runAlone(stems[static_cast<std::size_t>(index)]));
    }
    ASSERT_EQ(alone.front().status, 0) << alone.front().printed;
    ASSERT_EQ(alone.back().status, 1);

    for (int round = 0; round < kRounds; ++round) {
        for (const std::string& stem : stems) {
            removeOutputs(stem);
        }
        std::vector<std::unique_ptr<StartedProcess>> runs;
        for (std::size_t i = 0; i < stems.size(); ++i) {
            // The repeated source prints to a file of its own.
            const std::string out = stems[i] + (i < static_cast<std::size_t>(kPrograms) ? ".out" : ".twice.out");
            runs.push_back(std::make_unique<StartedProcess>(
                std::vector<std::string>{testsupport::assemblerBinary(), stems[i] + ".s"}, out, stems[i] + ".err"));
        }
        std::vector<int> statuses;
        for (auto& run : runs) {
            statuses.push_back(run->finish());
        }
        for (int index = 0; index < kPrograms; ++index) {
            const std::string& stem = stems[static_cast<std::size_t>(index)];
            EXPECT_EQ(collect(statuses[static_cast<std::size_t>(index)], stem), alone[static_cast<std::size_t>(index)])
                << "round " << round << ", " << stem;
        }
        EXPECT_EQ(statuses.back(), 0) << "round " << round;
        EXPECT_EQ(readFile("prog0.twice.out"), alone.front().printed) << "round " << round;
    }
    // Afterwards "a.ppf" is a regular file with one run's whole preprocessed
    // text: it ends with the last line of one of the sources.
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("a.ppf")));
    const std::string last = readFile("a.ppf");
    bool whole = false;
    for (int index = 0; index < kPrograms; ++index) {
        const std::string source = readFile(stems[static_cast<std::size_t>(index)] + ".s");
        const std::string lastLine = source.substr(source.rfind('\n', source.size() - 2) + 1);
        whole = whole || (last.size() >= lastLine.size() && last.compare(last.size() - lastLine.size(),
                                                                          lastLine.size(), lastLine) == 0);
    }
    EXPECT_TRUE(whole) << last;
}

}  // namespace
