#include "support/FuzzPipeline.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <iostream>
#include <regex>
#include <sstream>
#include <memory>

#include "asm/CAsmOptions.h"
#include "asm/CAsmPreprocessor.h"
#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CRozeDov.h"
#include "asm/CSection.h"
#include "asm/CSectionTable.h"
#include "emitter/CVornStringEmitter.h"
#include "util/CProgramExit.h"

namespace {

constexpr const char* kSourceName = "fuzz.s";

// Argument strings with a stable argv view onto them.
class ArgumentVector {
public:
    explicit ArgumentVector(std::vector<std::string> arguments) : m_storage(std::move(arguments))
    {
        for (std::string& argument : m_storage) {
            m_argv.push_back(argument.data());
        }
        m_argv.push_back(nullptr);
    }

    int argc() const { return static_cast<int>(m_storage.size()); }
    char** argv() { return m_argv.data(); }
    const std::vector<std::string>& strings() const { return m_storage; }

private:
    std::vector<std::string> m_storage;
    std::vector<char*> m_argv;
};

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
void expectOneLinePerWord(const CRozeDov& driver)
{
    std::size_t codeWords = 0;
    std::size_t dataWords = 0;
    for (const std::unique_ptr<CSection>& section : driver.m_common->m_sections->sections()) {
        const bool data = section->m_kind == CSection::Data;
        if (data || section->m_kind == CSection::Code || section->m_kind == CSection::ReadOnlyData) {
            expect(section->m_code.size() % 2 == 0, "a section holds an odd number of bytes");
            (data ? dataWords : codeWords) += section->m_code.size() / 2;
        }
    }
    const auto& emitter = dynamic_cast<const CVornStringEmitter&>(*driver.m_romEmitter);
    expect(countOf(driver.m_outBuffer->text(), "when iA = ") == codeWords, "ROM text and code words differ");
    expect(emitter.m_dataBuffer != nullptr && countOf(emitter.m_dataBuffer->text(), "\n") == dataWords,
           "data text and data words differ");
}

// The stages after preprocessing, as the program runs them, plus the listing
// text; nothing is written.
void runStages(CRozeDov& driver, CFileBuffer& input)
{
    driver.assemble(input, kSourceName);
    expectOneLinePerWord(driver);
    driver.m_lstEmitter->run();
    driver.finish();
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
        expectNext("-MD");
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
    CProgramExit::Interception interception;
    ArgumentVector arguments({"rozedov", "-l", "-debug-dump", kSourceName});
    CFileBuffer input(text);
    // Standard error is read back and checked, whatever the run did.
    std::ostringstream errors;
    std::streambuf* const previous = std::cerr.rdbuf(errors.rdbuf());
    Outcome outcome;
    try {
        auto driver = std::make_unique<CRozeDov>(arguments.argc(), arguments.argv());
        driver->init(nullptr);
        runStages(*driver, input);
    } catch (const CProgramExit::Stop& stop) {
        outcome = {true, stop.status};
    } catch (...) {
        std::cerr.rdbuf(previous);
        throw;
    }
    std::cerr.rdbuf(previous);
    expectWellFormedDiagnostics(errors.str());
    return outcome;
}

FuzzPipeline::Outcome FuzzPipeline::parseCommandLine(std::string_view bytes)
{
    std::vector<std::string> pieces = splitAtNul(bytes);
    pieces.insert(pieces.begin(), "rozedov");
    ArgumentVector arguments(pieces);

    CProgramExit::Interception interception;
    CCommonModules common(arguments.argc(), arguments.argv());
    common.m_options = std::make_unique<CAsmOptions>();
    std::ostringstream errors;
    std::streambuf* const previous = std::cerr.rdbuf(errors.rdbuf());
    try {
        common.m_options->parse(arguments.argc(), arguments.argv());
    } catch (const CProgramExit::Stop& stop) {
        std::cerr.rdbuf(previous);
        expectWellFormedDiagnostics(errors.str());
        return {true, stop.status};
    }
    std::cerr.rdbuf(previous);
    expectWellFormedDiagnostics(errors.str());
    expectDerivedNames(*common.m_options);

    CAsmPreprocessor preprocessor;
    preprocessor.m_common = &common;
    preprocessor.m_inputName = common.m_options->m_inputFiles.front();
    expectVerbatimArguments(*common.m_options, preprocessor.buildArguments("cc1"));
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
