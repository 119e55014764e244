#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;

namespace {

// A word as the annotated listing shows it, read by its fixed columns.
struct ListedWord {
    std::string section;
    int address = 0;
    std::string bits;  // fields apart
    std::string hex;
    std::string location;
};

struct Listing {
    std::vector<ListedWord> words;
    std::vector<std::string> locations;  // of every line, in order
};

Listing readListing(const std::string& text)
{
    Listing listing;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_GE(line.size(), 41u) << line;
        const std::string rest = line.substr(40);
        const std::string location = rest.substr(0, rest.find(' '));
        listing.locations.push_back(location);
        if (line.substr(0, 5) == "     ") {
            EXPECT_EQ(line.substr(0, 40), std::string(40, ' ')) << line;
            continue;
        }
        ListedWord word{line.substr(0, 5), std::stoi(line.substr(7, 5)), line.substr(14, 18), line.substr(34, 4),
                        location};
        // The columns between the fields are blank.
        for (const std::size_t gap : {5u, 12u, 32u, 38u}) {
            EXPECT_EQ(line.substr(gap, 2), "  ") << line;
        }
        while (!word.bits.empty() && word.bits.back() == ' ') {
            word.bits.pop_back();
        }
        listing.words.push_back(word);
    }
    return listing;
}

// The ROM words of the ".txt" file by address, and the ".dat" words.
std::map<int, std::string> romWords(const std::string& text)
{
    std::map<int, std::string> words;
    const std::regex line(R"re("([01]+)"\s+when iA = (\d+))re");
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        words[std::stoi((*it)[2])] = (*it)[1];
    }
    return words;
}

std::map<int, std::string> dataWords(const std::string& text)
{
    std::map<int, std::string> words;
    const std::regex line(R"re(sMEM\((\d+)\) <= x"([0-9a-f]+)")re");
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        words[std::stoi((*it)[1])] = (*it)[2];
    }
    return words;
}

std::size_t countOf(const std::string& text, const std::string& piece)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

std::string withoutBlanks(std::string text)
{
    std::erase(text, ' ');
    return text;
}

// Assembles `name` in the current folder with the annotated listing and
// holds every listed word against the ".txt" and ".dat" files.
void expectListingMatchesOutputs(const std::string& name, std::size_t sourceLines)
{
    const auto run = testsupport::runProcess({testsupport::assemblerBinary(), "--format=annotated", name + ".s"});
    ASSERT_EQ(run.status, 0) << run.output << run.errors;
    const Listing listing = readListing(readFile(name + ".o.annotated.txt"));
    const std::map<int, std::string> rom = romWords(readFile(name + ".o.txt"));
    const std::map<int, std::string> data = dataWords(readFile(name + ".o.dat"));
    std::size_t code = 0;
    std::size_t stored = 0;
    for (const ListedWord& word : listing.words) {
        SCOPED_TRACE(word.location);
        if (word.section == ".text") {
            ++code;
            ASSERT_EQ(rom.count(word.address), 1u);
            EXPECT_EQ(withoutBlanks(word.bits), rom.at(word.address));
            EXPECT_EQ(std::stoul(word.hex, nullptr, 16), std::stoul(rom.at(word.address), nullptr, 2));
        } else {
            ASSERT_EQ(word.section, ".data");
            ++stored;
            ASSERT_EQ(data.count(word.address), 1u);
            const std::string hex = data.at(word.address);
            EXPECT_EQ(word.hex, hex);
            EXPECT_EQ(std::stoul(withoutBlanks(word.bits), nullptr, 2), std::stoul(hex, nullptr, 16));
        }
    }
    EXPECT_EQ(code, rom.size());
    // One line of ".dat" for each data word listed.
    EXPECT_EQ(stored, countOf(readFile(name + ".o.dat"), "sMEM("));
    // Every line of the source is there once, in order, words or not.
    std::vector<std::string> sourceLocations;
    for (const std::string& location : listing.locations) {
        if (location.rfind(name + ".s:", 0) == 0 &&
            (sourceLocations.empty() || sourceLocations.back() != location)) {
            sourceLocations.push_back(location);
        }
    }
    ASSERT_EQ(sourceLocations.size(), sourceLines);
    for (std::size_t i = 0; i < sourceLines; ++i) {
        EXPECT_EQ(sourceLocations[i], name + ".s:" + std::to_string(i + 1));
    }
}

std::size_t lineCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class AnnotatedExample : public testing::TestWithParam<const char*> {};

TEST_P(AnnotatedExample, ListsTheWordsOfTheTxtAndDatFiles)
{
    testsupport::ScopedTempDir dir;
    for (const auto& entry : fs::directory_iterator(testsupport::sourceDir() / "examples")) {
        if (entry.path().extension() == ".s" || entry.path().extension() == ".inc") {
            fs::copy_file(entry.path(), entry.path().filename());
        }
    }
    const std::string name = GetParam();
    expectListingMatchesOutputs(name, lineCount(readFile(name + ".s")));
}

INSTANTIATE_TEST_SUITE_P(Examples, AnnotatedExample, testing::Values("count", "memcopy", "table", "blink"),
                         [](const auto& info) { return std::string(info.param); });

// A random program of every instruction form, labels, comments, blank
// lines, an included file and a data section.
std::string generatedProgram(unsigned seed, std::size_t statements)
{
    static const char* const kTwo[] = {"mov", "not", "inc", "dec", "shl", "shr", "ashl", "ashr", "ld", "st"};
    static const char* const kThree[] = {"add", "sub", "and", "or"};
    static const char* const kJumps[] = {"jmp", "jmpz", "jmps", "jmpc", "jmpnz", "jmpns", "jmpnc"};
    std::mt19937 random(seed);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const auto reg = [&] { return "R" + std::to_string(pick(8)); };
    std::string text = "; generated\n.text\n";
    for (std::size_t i = 0; i < statements; ++i) {
        if (pick(5) == 0) {
            text += "L" + std::to_string(i) + ":\n";
        }
        switch (pick(5)) {
        case 0:
            text += "  " + std::string(kThree[pick(4)]) + " " + reg() + ", " + reg() + ", " + reg() + "\n";
            break;
        case 1:
            text += "  " + std::string(kJumps[pick(7)]) + " " + std::to_string(pick(i + 1)) + " ; back\n";
            break;
        case 2:
            text += "\n";
            [[fallthrough]];
        default:
            text += "  " + std::string(kTwo[pick(10)]) + " " + reg() + ", " + reg() + "\n";
        }
        if (i == statements / 2) {
            text += "#include \"part.inc\"\n";
        }
    }
    text += ".data\n";
    for (std::size_t i = 0; i < statements / 4; ++i) {
        text += "  " + std::to_string(pick(65536)) + "\n";
    }
    return text;
}

class AnnotatedGenerated : public testing::TestWithParam<unsigned> {};

TEST_P(AnnotatedGenerated, ListsTheWordsOfTheTxtAndDatFiles)
{
    testsupport::ScopedTempDir dir;
    const std::string text = generatedProgram(GetParam(), 40 + GetParam() * 30);
    testsupport::writeFile("gen.s", text);
    testsupport::writeFile("part.inc", "  ; included\n  add R1, R2, R3\n  jmp 0\n");
    expectListingMatchesOutputs("gen", lineCount(text));
}

INSTANTIATE_TEST_SUITE_P(Seeds, AnnotatedGenerated, testing::Values(1u, 2u, 3u, 4u));

// The words of an included file stand right after the #include that brought
// them in, however the includes follow one another or nest.
TEST(AnnotatedListing, IncludedWordsFollowTheirInclude)
{
    const struct {
        const char* name;
        const char* source;
        std::vector<std::string> locations;
    } cases[] = {
        {"one after the other",
         ".text\n#include \"a.inc\"\n#include \"b.inc\"\n  jmp 0\n",
         {"prog.s:1", "prog.s:2", "a.inc:1", "prog.s:3", "b.inc:1", "prog.s:4"}},
        {"nested",
         ".text\n#include \"c.inc\"\n  jmp 0\n",
         {"prog.s:1", "prog.s:2", "c.inc:1", "a.inc:1", "c.inc:3", "prog.s:3"}},
        {"an include in a comment first",
         ".text\n/* # include \"a.inc\" */\n  dec R1, R1\n#include \"b.inc\"\n",
         {"prog.s:1", "prog.s:2", "prog.s:3", "prog.s:4", "b.inc:1"}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        testsupport::ScopedTempDir dir;
        testsupport::writeFile("a.inc", "  mov R1, R2\n");
        testsupport::writeFile("b.inc", "  inc R1, R1\n");
        testsupport::writeFile("c.inc", "  not R1, R1\n#include \"a.inc\"\n  shl R1, R1\n");
        testsupport::writeFile("prog.s", entry.source);
        const auto run = testsupport::runProcess({testsupport::assemblerBinary(), "--format=annotated", "prog.s"});
        ASSERT_EQ(run.status, 0) << run.output << run.errors;
        EXPECT_EQ(readListing(readFile("prog.o.annotated.txt")).locations, entry.locations)
            << readFile("prog.o.annotated.txt");
    }
}

}  // namespace
