#include "driver/CRozeDov.h"

#include <iostream>
#include <new>

#include "core/CDiagnosticMsgHandler.h"
#include "driver/CAsmOptions.h"
#include "driver/CAsmPreprocessor.h"
#include "driver/CFileReader.h"
#include "driver/CMessagePrinter.h"
#include "driver/COutputFiles.h"
#include "driver/CPathName.h"
#include "driver/CSignalCleanup.h"
#include "driver/CToolMessage.h"
#include "emitter/CAssembler.h"
#include "lexer/CSourceMap.h"

namespace {
constexpr int kUnwritableOutput = 1316;
}  // namespace

CRozeDov::CRozeDov(std::ostream& out, std::ostream& err) : m_out(&out), m_err(&err) {}

int CRozeDov::main(int argc, char** argv)
{
    try {
        const std::vector<std::string> arguments(argv, argv + argc);
        return CRozeDov(std::cout, std::cerr).run(arguments);
    } catch (const std::bad_alloc&) {
        std::cout << "Error: Out of memory." << std::endl;
        std::cerr << CToolMessage::line("error", "out of memory: no output file was replaced");
    } catch (const std::exception& error) {
        std::cerr << CToolMessage::line("error", std::string("internal error: ") + error.what());
    }
    return 1;
}

// run = options, overlaps, preprocess, assemble, print, warnings, outputs
int CRozeDov::run(const std::vector<std::string>& arguments)
{
    CAsmOptions options;
    if (const int status = options.parse(arguments, *m_out, *m_err); status != CAsmOptions::kGoOn) {
        return status;
    }
    if (!refuseOverlaps(options) || !checkDepFile(options)) {
        return 1;
    }
    CSignalCleanup::install();
    std::string preprocessed;
    if (!CAsmPreprocessor(options).run(preprocessed, *m_out, *m_err)) {
        return 1;
    }
    const std::string& input = options.m_inputFiles.front();
    const CSourceTexts sources = readSources(preprocessed, input);
    const CAssemblyResult result =
        CAssembler::assemble(std::move(preprocessed), input, sources, options.assemblyOptions());
    CMessagePrinter(*m_out, *m_err).print(result);
    if (result.stopped() || !finishWarnings(options, result)) {
        return 1;
    }
    return writeOutputs(options, result);
}

bool CRozeDov::refuseOverlaps(const CAsmOptions& options) const
{
    const std::string& input = options.m_inputFiles.front();
    if (COutputFiles::namesIntermediate(input)) {
        *m_out << "Error: The input file is the intermediate file " << CAsmPreprocessor::kOutputFile
               << "; give the source another name." << std::endl;
        *m_err << CToolMessage::line("error", "'" + input + "' is the preprocessor's output file " +
                                                  CAsmPreprocessor::kOutputFile + ", which each run replaces");
        return false;
    }
    std::vector<std::string> outputs = options.outputFiles();
    if (!options.m_depFile.empty()) {
        outputs.push_back(options.m_depFile);
    }
    for (const std::string& output : outputs) {
        if (CPathName::sameFile(output, input)) {
            *m_out << "Error: The output file " << output << " is the input file." << std::endl;
            *m_err << CToolMessage::line("error", "the output file '" + output + "' is the source '" + input +
                                                      "': writing it would destroy the source");
            return false;
        }
    }
    return true;
}

bool CRozeDov::checkDepFile(const CAsmOptions& options) const
{
    if (options.m_depFile.empty()) {
        return true;
    }
    const std::string reason = COutputFiles::check(options.m_depFile);
    if (!reason.empty()) {
        reportUnwritten(options.m_depFile, reason);
    }
    return reason.empty();
}

CSourceTexts CRozeDov::readSources(const std::string& preprocessed, const std::string& input)
{
    std::vector<std::string> names = CSourceMap::markedFiles(preprocessed);
    names.push_back(input);
    CSourceTexts sources;
    for (const std::string& name : names) {
        std::string text;
        std::error_code error;
        // A file that cannot be read is shown as preprocessed.
        if (sources.count(name) == 0 && CFileReader::read(name, text, error)) {
            sources.emplace(name, std::move(text));
        }
    }
    return sources;
}

bool CRozeDov::finishWarnings(const CAsmOptions& options, const CAssemblyResult& result) const
{
    if (result.hiddenWarnings > 0) {
        *m_err << CToolMessage::line("note", std::to_string(result.hiddenWarnings) + " more warnings not shown");
    }
    if (options.m_fatalWarnings && result.warnings > 0) {
        *m_err << CToolMessage::line("error", "warnings are fatal (--fatal-warnings): no file was written");
        return false;
    }
    return true;
}

int CRozeDov::writeOutputs(const CAsmOptions& options, const CAssemblyResult& result) const
{
    const COutputTexts& texts = result.texts;
    COutputFiles files;
    files.add(options.m_outputName + ".txt", texts.code);
    files.add(options.m_outputName + ".dat", texts.data);
    for (const CImageTexts& image : texts.images) {
        const std::vector<std::string> names = options.imageFiles(image.format);
        files.add(names[0], image.code);
        files.add(names[1], image.data);
    }
    if (options.m_listing) {
        files.add(options.m_listingName, texts.listing);
    }
    if (options.assemblyOptions().annotated) {
        files.add(options.annotatedFile(), texts.annotated);
    }
    const std::vector<COutputFiles::Failure> failures = files.write();
    for (const COutputFiles::Failure& failure : failures) {
        reportUnwritten(failure.path, failure.reason);
    }
    return failures.empty() ? 0 : 1;
}

void CRozeDov::reportUnwritten(const std::string& path, const std::string& reason) const
{
    CDiagnostic diagnostic;
    diagnostic.code = kUnwritableOutput;
    diagnostic.text = CDiagnosticMsgHandler::messageText(CDiagnostic::Error, kUnwritableOutput, path);
    *m_out << CMessagePrinter::format(diagnostic, {}) << std::endl << std::endl;
    *m_err << CToolMessage::line("error", "cannot write " + path + ": " + reason) << std::flush;
}
