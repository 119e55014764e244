#include "support/FuzzPipeline.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <iostream>
#include <regex>
#include <sstream>
#include <memory>

#include "driver/CAsmOptions.h"
#include "driver/CAsmPreprocessor.h"
#include "support/InProcessAssembly.h"

namespace {


void expect(bool condition, const std::string& what)
{
    if (!condition) {
        throw FuzzPipeline::PropertyBroken(what);
    }
}

std::size_t countOf(std::string_view text, std::string_view piece)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string_view::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

// Every laid-out word appears once in the texts: one "when iA =" line per
// code word, one sMEM line per data word.
void expectOneLinePerWord(const CAssemblyResult& result)
{
    std::size_t codeWords = 0;
    std::size_t dataWords = 0;
    for (const CSectionWords& section : result.sections) {
        (section.kind == 3 ? dataWords : codeWords) += section.words.size();
    }
    expect(countOf(result.texts.code, "when iA = ") == codeWords, "ROM text and code words differ");
    expect(countOf(result.texts.data, "\n") == dataWords, "data text and data words differ");
}

// Every line on standard error belongs to a diagnostic in the form
// compilers use: "rozedov: kind: text", "file:line: kind: text", or
// "file:line:col: kind: text" followed by the line (indented by four) and a
// caret under a column that lies inside it.
void expectWellFormedDiagnostics(const std::string& errors)
{
    static const std::regex kTool("rozedov: (error|warning|note): .*");
    static const std::regex kAtLine(".+:[0-9]+: (error|warning|note): .*");
    static const std::regex kAtColumn("(.+?):([0-9]+):([0-9]+): (error|warning|note): .*");
    static const std::regex kCaret("    [ \t]*\\^~*");
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < errors.size();) {
        const std::size_t end = errors.find('\n', start);
        expect(end != std::string::npos, "standard error does not end with a line break");
        lines.push_back(errors.substr(start, end - start));
        start = end + 1;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch match;
        if (std::regex_match(lines[i], match, kAtColumn)) {
            expect(i + 2 < lines.size(), "a diagnostic lacks its source line or caret");
            const std::string& shown = lines[i + 1];
            const std::string& caret = lines[i + 2];
            expect(shown.rfind("    ", 0) == 0, "the source line is not indented by four");
            expect(std::regex_match(caret, kCaret), "the caret line is malformed: " + caret);
            const std::size_t column = std::stoul(match[3].str());
            expect(column >= 1 && column - 1 <= shown.size() - 4, "the column lies outside the line shown");
            expect(caret.find('^') - 4 == column - 1, "the caret is not under the column");
            i += 2;
            continue;
        }
        expect(std::regex_match(lines[i], kTool) || std::regex_match(lines[i], kAtLine),
               "a line on standard error is no diagnostic: " + lines[i]);
    }
}

std::vector<std::string> splitAtNul(std::string_view bytes)
{
    std::vector<std::string> pieces;
    while (pieces.size() < FuzzPipeline::kMaxArguments) {
        const std::size_t end = bytes.find('\0');
        pieces.emplace_back(bytes.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(end + 1);
    }
    return pieces;
}

// The preprocessor gets the input name and every include, define and
// undefine as one argument each, byte for byte, after its fixed arguments;
// with --depfile then the rule file and every output file as a target.
void expectVerbatimArguments(const CAsmOptions& options, const std::vector<std::string>& arguments)
{
    constexpr std::size_t kFixed = 8;
    const std::vector<std::string> outputs = options.outputFiles();
    const std::size_t dependencies = options.m_depFile.empty() ? 0 : 2 + 2 * outputs.size();
    const std::size_t expected = kFixed + options.m_includePaths.size() + options.m_defines.size() +
                                 options.m_undefines.size() + dependencies;
    expect(arguments.size() == expected, "the preprocessor gets another number of arguments");
    expect(arguments.size() > 3 && arguments[3] == options.m_inputFiles.front(), "the input name changed");
    std::size_t at = kFixed;
    auto expectNext = [&](const std::string& value) {
        expect(at < arguments.size() && arguments[at++] == value, "an argument changed: " + value);
    };
    for (const std::string& path : options.m_includePaths) {
        expectNext("-I" + path);
    }
    for (const std::string& define : options.m_defines) {
        expectNext("-D" + define);
    }
    for (const std::string& name : options.m_undefines) {
        expectNext("-U" + name);
    }
    if (!options.m_depFile.empty()) {
        expectNext("-MMD");
        expectNext(options.m_depFile);
        for (const std::string& output : outputs) {
            expectNext("-MQ");
            expectNext(output);
        }
    }
}

void expectDerivedNames(const CAsmOptions& options)
{
    expect(!options.m_inputFiles.empty(), "options parsed without an input file");
    const std::string stem = CAsmOptions::stripExtension(options.m_inputFiles.front());
    if (!options.m_outputGiven) {
        expect(options.m_outputName == stem + ".o", "output name not derived from the input name");
    }
    if (options.m_listing) {
        expect(options.m_listingName == stem + ".lst", "listing name not derived from the input name");
    }
}

}  // namespace

FuzzPipeline::Outcome FuzzPipeline::assembleText(std::string_view text)
{
    const testsupport::InProcessAssembly assembly(std::string(text), {"-l", "-debug-dump"});
    expectWellFormedDiagnostics(assembly.result.errors);
    if (!assembly.assembly.stopped()) {
        expectOneLinePerWord(assembly.assembly);
    }
    return {assembly.assembly.stopped(), assembly.result.status};
}

FuzzPipeline::Outcome FuzzPipeline::parseCommandLine(std::string_view bytes)
{
    std::vector<std::string> arguments = splitAtNul(bytes);
    arguments.insert(arguments.begin(), "rozedov");
    CAsmOptions options;
    std::ostringstream out;
    std::ostringstream errors;
    const int status = options.parse(arguments, out, errors);
    expectWellFormedDiagnostics(errors.str());
    if (status != CAsmOptions::kGoOn) {
        return {true, status};
    }
    expectDerivedNames(options);
    expectVerbatimArguments(options, CAsmPreprocessor(options).buildArguments("cc1"));
    return {};
}

void FuzzPipeline::silenceStdout()
{
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
        ::dup2(devNull, STDOUT_FILENO);
        ::close(devNull);
    }
}
