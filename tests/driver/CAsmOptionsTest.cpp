#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/CAsmOptions.h"
#include "support/TestSupport.h"

using testsupport::RunResult;

namespace {

constexpr const char* kBanner =
    "rozedov 1.0.0 - Vorn cross-assembler\n"
    "------------------------------------\n"
    "\n";

constexpr const char* kHelp =
    " Usage:\n"
    "rozedov.exe [options] <input filenames> [options]\n"
    "\n"
    "  Options:\n"
    "\n"
    "   -h, -help, -?    - Print this help screen.\n"
    "   -v               - Print the version info.\n"
    "\n"
    "\n"
    "   -o<name>            - Output file name.\n"
    "   -I<include_path>    - Specify include path.\n"
    "   -D<symbol<=value>>  - Define a symbol.\n";

constexpr const char* kWarnDash =
    "Warning: Output file name beginning with \"-\" detected! Possible misplaced flag.\n";

struct Parsed {
    CAsmOptions options;
    RunResult result;
};

Parsed parse(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "/opt/bin/rozedov");
    Parsed parsed;
    std::ostringstream out;
    std::ostringstream err;
    const int status = parsed.options.parse(arguments, out, err);
    parsed.result = {out.str(), err.str(), status == CAsmOptions::kGoOn ? 0 : status};
    return parsed;
}

using Strings = std::vector<std::string>;

// Arguments that are accepted, with the settings they leave.
struct AcceptedCase {
    const char* label;
    Strings arguments;
    std::string output;       // what is printed
    Strings inputs;
    std::string outputName;
    bool outputGiven;
    bool listing;
    std::string listingName;
    Strings includes;
    Strings defines;
    Strings undefines;
};

void PrintTo(const AcceptedCase& c, std::ostream* os)
{
    *os << c.label;
}

class AcceptedOptions : public testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedOptions, FillTheSettings)
{
    const AcceptedCase& c = GetParam();
    Parsed parsed = parse(c.arguments);
    EXPECT_EQ(parsed.result.status, 0);
    EXPECT_EQ(parsed.result.output, c.output);
    EXPECT_EQ(parsed.options.m_inputFiles, c.inputs);
    EXPECT_EQ(parsed.options.m_outputName, c.outputName);
    EXPECT_EQ(parsed.options.m_outputGiven, c.outputGiven);
    EXPECT_EQ(parsed.options.m_listing, c.listing);
    EXPECT_EQ(parsed.options.m_listingName, c.listingName);
    EXPECT_EQ(parsed.options.m_includePaths, c.includes);
    EXPECT_EQ(parsed.options.m_defines, c.defines);
    EXPECT_EQ(parsed.options.m_undefines, c.undefines);
    EXPECT_EQ(parsed.options.m_programPath, "/opt/bin/rozedov");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AcceptedOptions,
    testing::Values(
        AcceptedCase{"plain", {"prog.s"}, "", {"prog.s"}, "prog.o", false, false, "", {}, {}, {}},
        AcceptedCase{"outputSeparate", {"-o", "out", "prog.s"}, "", {"prog.s"}, "out", true, false, "", {}, {}, {}},
        AcceptedCase{"outputAttached", {"prog.s", "-oout"}, "", {"prog.s"}, "out", true, false, "", {}, {}, {}},
        AcceptedCase{"outputDash", {"-o", "-x", "prog.s"}, kWarnDash, {"prog.s"}, "-x", true, false, "", {}, {}, {}},
        AcceptedCase{"outputDashAttached", {"-o-x", "prog.s"}, kWarnDash, {"prog.s"}, "-x", true, false, "", {}, {},
                     {}},
        AcceptedCase{"listing", {"-l", "prog.s"}, "", {"prog.s"}, "prog.o", false, true, "prog.lst", {}, {}, {}},
        AcceptedCase{"listingIgnoresOutput", {"-l", "-oout", "prog.s"}, "", {"prog.s"}, "out", true, true,
                     "prog.lst", {}, {}, {}},
        AcceptedCase{"includes", {"-Ia", "-I", "prog.s", "-Ib c"}, "", {"prog.s"}, "prog.o", false, false, "",
                     {"a", "", "b c"}, {}, {}},
        AcceptedCase{"defines", {"-DX=1", "-D", "-DY", "prog.s"}, "", {"prog.s"}, "prog.o", false, false, "", {},
                     {"X=1", "", "Y"}, {}},
        AcceptedCase{"undefines", {"-UX", "prog.s", "-U"}, "", {"prog.s"}, "prog.o", false, false, "", {}, {},
                     {"X", ""}},
        AcceptedCase{"quietFlags", {"-vc", "-g", "-w", "-debug-dump", "prog.s"}, "", {"prog.s"}, "prog.o", false,
                     false, "", {}, {}, {}},
        AcceptedCase{"helpThenInput", {"-h", "prog.s"}, kHelp, {"prog.s"}, "prog.o", false, false, "", {}, {}, {}},
        AcceptedCase{"helpLong", {"-help", "prog.s"}, kHelp, {"prog.s"}, "prog.o", false, false, "", {}, {}, {}},
        AcceptedCase{"helpQuestion", {"-?", "prog.s"}, kHelp, {"prog.s"}, "prog.o", false, false, "", {}, {}, {}},
        AcceptedCase{"version", {"-v", "prog.s"}, kBanner, {"prog.s"}, "prog.o", false, false, "", {}, {}, {}},
        AcceptedCase{"bannerBeforeHelp", {"-h", "-v", "prog.s"}, std::string(kBanner) + kHelp, {"prog.s"}, "prog.o",
                     false, false, "", {}, {}, {}},
        AcceptedCase{"warningBeforeHelp", {"-h", "-o", "-q", "prog.s"}, std::string(kWarnDash) + kHelp, {"prog.s"},
                     "-q", true, false, "", {}, {}, {}},
        AcceptedCase{"emptyInputName", {""}, "", {""}, ".o", false, false, "", {}, {}, {}}),
    [](const testing::TestParamInfo<AcceptedCase>& info) { return info.param.label; });

// Arguments that stop the program with status 1, and what it prints.
struct RefusedCase {
    const char* label;
    Strings arguments;
    std::string output;
};

void PrintTo(const RefusedCase& c, std::ostream* os)
{
    *os << c.label;
}

class RefusedOptions : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedOptions, StopWithStatusOne)
{
    const RefusedCase& c = GetParam();
    Parsed parsed = parse(c.arguments);
    EXPECT_EQ(parsed.result.status, 1);
    EXPECT_EQ(parsed.result.output, c.output);
}

std::string unrecognized(const std::string& argument)
{
    return "Error: Unrecognized or incomplete parameter: " + argument + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusedOptions,
    testing::Values(
        RefusedCase{"loneDash", {"prog.s", "-"}, unrecognized("-")},
        RefusedCase{"unknownLetter", {"-x", "prog.s"}, unrecognized("-x")},
        RefusedCase{"debugPrefix", {"-debug", "prog.s"}, unrecognized("-debug")},
        RefusedCase{"debugDumpSuffix", {"-debug-dumps", "prog.s"}, unrecognized("-debug-dumps")},
        RefusedCase{"helpSuffix", {"-hx", "prog.s"}, unrecognized("-hx")},
        RefusedCase{"versionSuffix", {"-vx", "prog.s"}, unrecognized("-vx")},
        RefusedCase{"vcSuffix", {"-vcc", "prog.s"}, unrecognized("-vcc")},
        RefusedCase{"listingSuffix", {"-lfoo", "prog.s"}, unrecognized("-lfoo")},
        RefusedCase{"gSuffix", {"-gg", "prog.s"}, unrecognized("-gg")},
        RefusedCase{"wSuffix", {"-wall", "prog.s"}, unrecognized("-wall")},
        RefusedCase{"outputLast", {"prog.s", "-o"}, unrecognized("-o")},
        RefusedCase{"laterArgumentsNotRead", {"-x", "-o"}, unrecognized("-x")},
        RefusedCase{"noInput", {"-l"}, "Error: No input files.\n"},
        RefusedCase{"noInputAfterHelp", {"-h"}, std::string(kHelp) + "Error: No input files.\n"},
        RefusedCase{"noArguments", {}, std::string(kBanner) + kHelp + "Error: No input files.\n"},
        RefusedCase{"severalInputs", {"-v", "a.s", "b.s"}, std::string(kBanner) + "Error: Only one input file is allowed.\n"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.label; });

struct NameCase {
    const char* input;
    const char* stripped;
};

TEST(OptionNames, CutAtTheLastDotOfTheWholeName)
{
    const NameCase cases[] = {
        {"prog.s", "prog"}, {"a.b/prog", "a"},     {"prog", "prog"},       {"dir.v1/prog.s", "dir.v1/prog"},
        {".hidden", ""},    {"prog.", "prog"},     {"x.tar.gz", "x.tar"},  {"", ""},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(CAsmOptions::stripExtension(c.input), c.stripped) << c.input;
    }
}

TEST(OptionNames, OutputAndListingDeriveFromTheInput)
{
    Parsed parsed = parse({"-l", "a.b/prog"});
    EXPECT_EQ(parsed.options.m_outputName, "a.o");
    EXPECT_EQ(parsed.options.m_listingName, "a.lst");
}

}  // namespace

namespace {
// "--help" names every option the table takes, and the editor server; the
// short spellings print the help text alone.
TEST(HelpText, LongHelpNamesEveryOption)
{
    const Parsed help = parse({"--help"});
    EXPECT_EQ(help.result.output.substr(0, std::string(kHelp).size()), kHelp);
    std::vector<std::string_view> spellings = CAsmOptions::spellings();
    spellings.emplace_back("--lsp");
    for (const std::string_view spelling : spellings) {
        // "-o<name>", "--format=<names>": the line shows what follows.
        const std::string name(spelling);
        const bool named = help.result.output.find("   " + name) != std::string::npos ||
                           help.result.output.find(", " + name) != std::string::npos;
        EXPECT_TRUE(named) << spelling << " is not in --help:\n" << help.result.output;
    }
    for (const char* shortSpelling : {"-h", "-help", "-?"}) {
        EXPECT_EQ(parse({shortSpelling}).result.output, std::string(kHelp) + "Error: No input files.\n") << shortSpelling;
    }
}
}  // namespace
