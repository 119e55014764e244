#include "asm/CAsmOptions.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string_view>

#include "emitter/CImageEmitter.h"
#include "emitter/CImageWriter.h"
#include "util/CProgramExit.h"
#include "util/CToolMessage.h"

namespace {
constexpr std::string_view kVersionLine = "rozedov 1.0.0 - Vorn cross-assembler";

constexpr const char* kHelpLines[] = {
    " Usage:",
    "rozedov.exe [options] <input filenames> [options]",
    "",
    "  Options:",
    "",
    "   -h, -help, -?    - Print this help screen.",
    "   -v               - Print the version info.",
    "",
    "",
    "   -o<name>            - Output file name.",
    "   -I<include_path>    - Specify include path.",
    "   -D<symbol<=value>>  - Define a symbol.",
};

// Appended to the help lines by "--help".
constexpr const char* kLongOptionLines[] = {
    "",
    "   -l                  - Also write the listing <input>.lst.",
    "   -w                  - Do not print warnings about values that do not fit.",
    "   --fatal-warnings    - End with status 1, writing no file, when there is any warning.",
    "   --format=<names>    - Also write memory images: vhdl, mif, coe, hex, memh, memb, bin.",
    "   --depfile=<file>    - Write a make rule naming the source and every included file.",
    "   --help              - Print this help screen and end.",
    "   --version           - Print the version info and end.",
};

void printLine(std::string_view line)
{
    std::cout << line << std::endl;
}
}  // namespace

// One row of the option table: an exact spelling, or a prefix whose rest is
// the option's text.
struct CAsmOptions::OptionRow {
    enum Match { Exact, Prefix };
    const char* spelling;
    Match match;
    void (*apply)(CAsmOptions& options, const std::string& text);
};

const CAsmOptions::OptionRow CAsmOptions::kOptionRows[] = {
    {"-?", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_help = true; }},
    {"-h", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_help = true; }},
    {"-help", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_help = true; }},
    {"-v", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_version = true; }},
    {"-vc", OptionRow::Exact, [](CAsmOptions&, const std::string&) {}},
    {"-o", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.setOutputName(t); }},
    {"-I", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.m_includePaths.push_back(t); }},
    {"-D", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.m_defines.push_back(t); }},
    {"-U", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.m_undefines.push_back(t); }},
    {"-l", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_listing = true; }},
    {"-debug-dump", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_debugDump = true; }},
    {"-g", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_debugFlag = true; }},
    {"-w", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_warnFlag = true; }},
    {"--fatal-warnings", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_fatalWarnings = true; }},
    {"--help", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_longHelp = true; }},
    {"--version", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { o.m_longVersion = true; }},
    {"--format=", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.addFormats(t); }},
    {"--depfile=", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.m_depFile = t; }},
};

void CAsmOptions::parse(int argc, char** argv)
{
    if (argc == 1) {
        m_version = true;
        m_help = true;
    }
    m_programPath = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            i += handleOption(i, argc, argv);
        } else {
            m_inputFiles.emplace_back(argv[i]);
        }
    }
    postProcess();
}

int CAsmOptions::handleOption(int index, int argc, char** argv)
{
    const std::string argument = argv[index];
    for (const OptionRow& row : kOptionRows) {
        const std::size_t length = std::strlen(row.spelling);
        if (row.match == OptionRow::Exact) {
            if (argument == row.spelling) {
                row.apply(*this, {});
                return 0;
            }
            continue;
        }
        if (argument.compare(0, length, row.spelling) != 0) {
            continue;
        }
        std::string text = argument.substr(length);
        // Only "-o" takes its text from the next argument when none is attached.
        if (text.empty() && argument == "-o") {
            if (index + 1 >= argc) {
                refuse(argument);
            }
            row.apply(*this, argv[index + 1]);
            return 1;
        }
        row.apply(*this, text);
        return 0;
    }
    refuse(argument);
}

void CAsmOptions::setOutputName(const std::string& name)
{
    m_outputName = name;
    m_outputGiven = true;
    if (!name.empty() && name[0] == '-') {
        printLine("Warning: Output file name beginning with \"-\" detected! Possible misplaced flag.");
    }
}

void CAsmOptions::addFormats(const std::string& names)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = names.find(',', start);
        const std::string name = names.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!CImageWriter::create(name)) {
            std::string known;
            for (const std::string& format : CImageWriter::names()) {
                known += (known.empty() ? "" : ", ") + format;
            }
            CToolMessage::error("unknown format '" + name + "' in --format (known: " + known + ")");
            CProgramExit::stop(1);
        }
        if (std::find(m_formats.begin(), m_formats.end(), name) == m_formats.end()) {
            m_formats.push_back(name);
        }
        if (comma == std::string::npos) {
            return;
        }
        start = comma + 1;
    }
}

std::vector<std::string> CAsmOptions::outputFiles() const
{
    std::vector<std::string> files = {m_outputName + ".txt", m_outputName + ".dat"};
    for (const std::string& image : CImageEmitter::fileNames(m_outputName, m_formats)) {
        files.push_back(image);
    }
    if (m_listing) {
        files.push_back(m_listingName);
    }
    return files;
}

void CAsmOptions::refuse(const std::string& argument)
{
    std::cout << "Error: Unrecognized or incomplete parameter: " << argument << std::endl;
    CToolMessage::error(argument == "-o" ? "option '-o' needs a name after it"
                                         : "unrecognized option '" + argument + "' (see --help)");
    CProgramExit::stop(1);
}

void CAsmOptions::postProcess()
{
    if (m_longHelp || m_longVersion) {
        if (m_longVersion) {
            printVersion();
        }
        if (m_longHelp) {
            printHelp();
            for (const char* line : kLongOptionLines) {
                printLine(line);
            }
        }
        CProgramExit::stop(0);
    }
    if (m_version) {
        printVersion();
    }
    if (m_help) {
        printHelp();
    }
    if (m_inputFiles.empty()) {
        printLine("Error: No input files.");
        CToolMessage::error("no input file given (see --help)");
        CProgramExit::stop(1);
    }
    if (m_inputFiles.size() > 1) {
        printLine("Error: Only one input file is allowed.");
        CToolMessage::error("one input file at a time: '" + m_inputFiles[0] + "' and '" + m_inputFiles[1] +
                            "' were given");
        CProgramExit::stop(1);
    }
    if (!m_outputGiven) {
        m_outputName = stripExtension(m_inputFiles.front()) + ".o";
    }
    if (m_listing) {
        m_listingName = stripExtension(m_inputFiles.front()) + ".lst";
    }
}

std::string CAsmOptions::stripExtension(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void CAsmOptions::printVersion()
{
    printLine(kVersionLine);
    printLine(std::string(kVersionLine.size(), '-'));
    printLine("");
}

void CAsmOptions::printHelp()
{
    for (const char* line : kHelpLines) {
        printLine(line);
    }
}
