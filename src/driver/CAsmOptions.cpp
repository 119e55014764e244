#include "driver/CAsmOptions.h"

#include <algorithm>
#include <ostream>
#include <string_view>

#include "driver/CToolMessage.h"
#include "emitter/CAnnotatedListing.h"
#include "emitter/CMemoryImages.h"

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

// Appended to the help lines by "--help": every option they do not name.
constexpr const char* kLongOptionLines[] = {
    "",
    "   -U<symbol>          - Undefine a symbol.",
    "   -debug-dump         - Print the stages' trace lines on standard output.",
    "   -g, -vc             - Accepted and ignored.",
    "   -l                  - Also write the listing <input>.lst.",
    "   -w                  - Do not print warnings about values that do not fit.",
    "   --fatal-warnings    - End with status 1, writing no file, when there is any warning.",
    "   --format=<names>    - Also write memory images: vhdl, mif, coe, hex, memh, memb, bin.",
    "   --format=annotated  - Also write <output>.annotated.txt: every word beside its source line.",
    "   --depfile=<file>    - Write a make rule naming the source and every included file.",
    "   --lsp               - Serve an editor over the Language Server Protocol on standard input",
    "                         and output (alone, with no other argument).",
    "   --help              - Print this help screen and end.",
    "   --version           - Print the version info and end.",
};

void printLine(std::ostream& out, std::string_view line)
{
    out << line << std::endl;
}

void printVersion(std::ostream& out)
{
    printLine(out, kVersionLine);
    printLine(out, std::string(kVersionLine.size(), '-'));
    printLine(out, "");
}

void printHelp(std::ostream& out)
{
    for (const char* line : kHelpLines) {
        printLine(out, line);
    }
}
}  // namespace

// One row of the option table: an exact spelling, or a prefix whose rest is
// the option's text.
struct CAsmOptions::OptionRow {
    enum Match { Exact, Prefix };
    const char* spelling;
    Match match;
    bool (*apply)(CAsmOptions& options, const std::string& text);
};

const CAsmOptions::OptionRow CAsmOptions::kOptionRows[] = {
    {"-?", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_help = true; }},
    {"-h", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_help = true; }},
    {"-help", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_help = true; }},
    {"-v", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_version = true; }},
    {"-vc", OptionRow::Exact, [](CAsmOptions&, const std::string&) { return true; }},
    {"-o", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.setOutputName(t); return true; }},
    {"-I", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.m_includePaths.push_back(t); return true; }},
    {"-D", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.m_defines.push_back(t); return true; }},
    {"-U", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.m_undefines.push_back(t); return true; }},
    {"-l", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_listing = true; }},
    {"-debug-dump", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_debugDump = true; }},
    {"-g", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_debugFlag = true; }},
    {"-w", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_warnFlag = true; }},
    {"--fatal-warnings", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_fatalWarnings = true; }},
    {"--help", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_longHelp = true; }},
    {"--version", OptionRow::Exact, [](CAsmOptions& o, const std::string&) { return o.m_longVersion = true; }},
    {"--format=", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { return o.addFormats(t); }},
    {"--depfile=", OptionRow::Prefix, [](CAsmOptions& o, const std::string& t) { o.m_depFile = t; return true; }},
};

std::vector<std::string_view> CAsmOptions::spellings()
{
    std::vector<std::string_view> spellings;
    for (const OptionRow& row : kOptionRows) {
        spellings.emplace_back(row.spelling);
    }
    return spellings;
}

int CAsmOptions::parse(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    m_out = &out;
    m_err = &err;
    if (arguments.size() == 1) {
        m_version = true;
        m_help = true;
    }
    m_programPath = arguments.empty() ? "" : arguments.front();
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].empty() && arguments[i][0] == '-') {
            const int consumed = handleOption(i, arguments);
            if (consumed < 0) {
                return 1;
            }
            i += static_cast<std::size_t>(consumed);
        } else {
            m_inputFiles.push_back(arguments[i]);
        }
    }
    const int status = postProcess();
    return status != kGoOn ? status : finishNames();
}

int CAsmOptions::handleOption(std::size_t index, const std::vector<std::string>& arguments)
{
    const std::string& argument = arguments[index];
    for (const OptionRow& row : kOptionRows) {
        const std::string_view spelling = row.spelling;
        if (row.match == OptionRow::Exact) {
            if (argument == spelling) {
                row.apply(*this, {});
                return 0;
            }
            continue;
        }
        if (argument.compare(0, spelling.size(), spelling) != 0) {
            continue;
        }
        const std::string text = argument.substr(spelling.size());
        // Only "-o" takes its text from the next argument when none is attached.
        if (text.empty() && argument == "-o") {
            if (index + 1 >= arguments.size()) {
                return refuse(argument);
            }
            row.apply(*this, arguments[index + 1]);
            return 1;
        }
        if (!row.apply(*this, text)) {
            std::string known;
            for (const CImageFormat& format : imageFormats()) {
                known += (known.empty() ? "" : ", ") + std::string(format.name);
            }
            known += std::string(", ") + CAnnotatedListing::kFormatName;
            *m_err << CToolMessage::line("error", "unknown format '" + m_badFormat + "' in --format (known: " +
                                                      known + ")");
            return -1;
        }
        return 0;
    }
    return refuse(argument);
}

void CAsmOptions::setOutputName(const std::string& name)
{
    m_outputName = name;
    m_outputGiven = true;
    if (!name.empty() && name[0] == '-') {
        printLine(*m_out, "Warning: Output file name beginning with \"-\" detected! Possible misplaced flag.");
    }
}

bool CAsmOptions::addFormats(const std::string& names)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = names.find(',', start);
        const std::string name = names.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (findImageFormat(name) == nullptr && name != CAnnotatedListing::kFormatName) {
            m_badFormat = name;
            return false;
        }
        if (std::find(m_formats.begin(), m_formats.end(), name) == m_formats.end()) {
            m_formats.push_back(name);
        }
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

std::vector<std::string> CAsmOptions::imageFiles(const std::string& format) const
{
    const CImageFormat* found = findImageFormat(format);
    const std::string extension = found != nullptr ? found->extension : format;
    return {m_outputName + ".code." + extension, m_outputName + ".data." + extension};
}

std::vector<std::string> CAsmOptions::outputFiles() const
{
    std::vector<std::string> files = {m_outputName + ".txt", m_outputName + ".dat"};
    for (const std::string& format : m_formats) {
        if (format == CAnnotatedListing::kFormatName) {
            files.push_back(annotatedFile());
            continue;
        }
        for (std::string& image : imageFiles(format)) {
            files.push_back(std::move(image));
        }
    }
    if (m_listing) {
        files.push_back(m_listingName);
    }
    return files;
}

std::string CAsmOptions::annotatedFile() const
{
    return m_outputName + CAnnotatedListing::kFileEnding;
}

CAssemblyOptions CAsmOptions::assemblyOptions() const
{
    CAssemblyOptions options{m_listing, m_debugDump, !m_warnFlag, {}, false};
    for (const std::string& format : m_formats) {
        if (format == CAnnotatedListing::kFormatName) {
            options.annotated = true;
        } else {
            options.formats.push_back(format);
        }
    }
    return options;
}

int CAsmOptions::refuse(const std::string& argument) const
{
    printLine(*m_out, "Error: Unrecognized or incomplete parameter: " + argument);
    std::string reason = "unrecognized option '" + argument + "' (see --help)";
    if (argument == "-o") {
        reason = "option '-o' needs a name after it";
    } else if (argument == "--lsp") {
        reason = "'--lsp' starts the editor server and takes no other argument";
    }
    *m_err << CToolMessage::line("error", reason);
    return -1;
}

int CAsmOptions::postProcess() const
{
    if (m_longHelp || m_longVersion) {
        if (m_longVersion) {
            printVersion(*m_out);
        }
        if (m_longHelp) {
            printHelp(*m_out);
            for (const char* line : kLongOptionLines) {
                printLine(*m_out, line);
            }
        }
        return 0;
    }
    if (m_version) {
        printVersion(*m_out);
    }
    if (m_help) {
        printHelp(*m_out);
    }
    if (m_inputFiles.empty()) {
        printLine(*m_out, "Error: No input files.");
        *m_err << CToolMessage::line("error", "no input file given (see --help)");
        return 1;
    }
    if (m_inputFiles.size() > 1) {
        printLine(*m_out, "Error: Only one input file is allowed.");
        *m_err << CToolMessage::line("error", "one input file at a time: '" + m_inputFiles[0] + "' and '" +
                                                  m_inputFiles[1] + "' were given");
        return 1;
    }
    return kGoOn;
}

int CAsmOptions::finishNames()
{
    if (!m_outputGiven) {
        m_outputName = stripExtension(m_inputFiles.front()) + ".o";
    }
    if (m_listing) {
        m_listingName = stripExtension(m_inputFiles.front()) + ".lst";
    }
    return kGoOn;
}

std::string CAsmOptions::stripExtension(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}
