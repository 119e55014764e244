#include "support/FuzzPipeline.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <iostream>
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

// What one assembly in memory printed and built.
struct Assembled {
    bool stopped = false;
    int status = 0;
    std::string printed;
    std::string code;
    std::string data;
    std::string listing;
    bool operator==(const Assembled&) const = default;
};

Assembled assembleWithListing(std::string_view text, bool layAhead)
{
    ArgumentVector arguments({"rozedov", "-l", kSourceName});
    CFileBuffer input(text);
    Assembled result;
    std::ostringstream printed;
    std::streambuf* const previous = std::cout.rdbuf(printed.rdbuf());
    try {
        auto driver = std::make_unique<CRozeDov>(arguments.argc(), arguments.argv());
        driver->init(nullptr);
        driver->assemble(input, kSourceName, layAhead);
        driver->m_lstEmitter->run();
        const auto& emitter = dynamic_cast<const CVornStringEmitter&>(*driver->m_romEmitter);
        result.code = driver->m_outBuffer->text();
        result.data = emitter.m_dataBuffer != nullptr ? emitter.m_dataBuffer->text() : "";
        const CFileBuffer* listing = driver->m_lstEmitter->m_codeBuffer;
        result.listing = listing != nullptr ? listing->text() : "";
    } catch (const CProgramExit::Stop& stop) {
        result.stopped = true;
        result.status = stop.status;
    }
    std::cout.rdbuf(previous);
    result.printed = printed.str();
    return result;
}

// Layout during the parse ends exactly as layout after it: same messages,
// same status, same texts.
void expectLayoutAheadChangesNothing(std::string_view text)
{
    expect(assembleWithListing(text, false) == assembleWithListing(text, true),
           "layout during the parse gives another result");
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

void expectRoundTrip(const std::vector<std::string>& arguments)
{
    const std::string command = CAsmPreprocessor::buildCommand(arguments);
    const std::optional<std::vector<std::string>> words = FuzzPipeline::splitShellWords(command);
    expect(words.has_value(), "the shell would interpret part of the command: " + command);
    expect(*words == arguments, "the command does not split back into its arguments: " + command);
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

bool isSafeUnquoted(char c)
{
    static constexpr std::string_view kSafePunctuation = "-_./,+:@";
    return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
           kSafePunctuation.find(c) != std::string_view::npos;
}

}  // namespace

FuzzPipeline::Outcome FuzzPipeline::assembleText(std::string_view text)
{
    CProgramExit::Interception interception;
    ArgumentVector arguments({"rozedov", "-l", "-debug-dump", kSourceName});
    CFileBuffer input(text);
    try {
        auto driver = std::make_unique<CRozeDov>(arguments.argc(), arguments.argv());
        driver->init(nullptr);
        runStages(*driver, input);
    } catch (const CProgramExit::Stop& stop) {
        expectLayoutAheadChangesNothing(text);
        return {true, stop.status};
    }
    expectLayoutAheadChangesNothing(text);
    return {};
}

FuzzPipeline::Outcome FuzzPipeline::parseCommandLine(std::string_view bytes)
{
    std::vector<std::string> pieces = splitAtNul(bytes);
    pieces.insert(pieces.begin(), "rozedov");
    ArgumentVector arguments(pieces);

    CProgramExit::Interception interception;
    CCommonModules common(arguments.argc(), arguments.argv());
    common.m_options = std::make_unique<CAsmOptions>();
    try {
        common.m_options->parse(arguments.argc(), arguments.argv());
    } catch (const CProgramExit::Stop& stop) {
        return {true, stop.status};
    }
    expectDerivedNames(*common.m_options);

    CAsmPreprocessor preprocessor;
    preprocessor.m_common = &common;
    preprocessor.m_inputName = common.m_options->m_inputFiles.front();
    expectRoundTrip(preprocessor.buildArguments("cc1"));
    expectRoundTrip(arguments.strings());
    return {};
}

std::optional<std::vector<std::string>> FuzzPipeline::splitShellWords(std::string_view command)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == ' ') {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const std::size_t close = command.find('\'', i + 1);
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            word.append(command.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '\\') {
            if (i + 1 == command.size() || command[i + 1] == '\n') {
                return std::nullopt;
            }
            word += command[++i];
        } else if (isSafeUnquoted(c)) {
            word += c;
        } else {
            return std::nullopt;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

void FuzzPipeline::silenceStdout()
{
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
        ::dup2(devNull, STDOUT_FILENO);
        ::close(devNull);
    }
}
