// The driver. A run is a straight line of stages on one thread:
//   1. preprocess: cc1 turns the source into "a.ppf" (runs in one directory
//      side by side each write a file of their own through it);
//   2. load the preprocessed text whole;
//   3. parse, then check;
//   4. layout, then check;
//   5. the ROM and data texts, then check;
//   6. write ".txt" and ".dat"; with "-l", build and write the listing; the
//      files replace the old ones together, once all are written.
// A check stops the run with status 1 once anything has been reported.
#include "asm/CAsm.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "asm/CAsmOptions.h"
#include "asm/CAsmPreprocessor.h"
#include "asm/CCommonModules.h"
#include "asm/CDiagnosticMsgHandler.h"
#include "asm/CFileBuffer.h"
#include "asm/CFileIndexMap.h"
#include "asm/CPreprocessedFile.h"
#include "emitter/CEmitter.h"
#include "parser/CAsmParser.h"
#include "util/CFileTransaction.h"
#include "util/CProgramExit.h"
#include "util/CSignalCleanup.h"
#include "util/CToolMessage.h"


CAsm::CAsm(int argc, char** argv) : m_argc(argc), m_argv(argv) {}

CAsm::~CAsm() = default;

void CAsm::init(CAsm* /*driver*/)
{
    m_commonModules = std::make_unique<CCommonModules>(m_argc, m_argv);
    m_common = m_commonModules.get();
    m_commonModules->init(this);

    m_outBuffer = std::make_unique<CFileBuffer>();
    m_outputs = std::make_unique<CFileTransaction>();

    m_preprocessor = std::make_unique<CAsmPreprocessor>();
    m_preprocessor->init(this);
}

void CAsm::run()
{
    CSignalCleanup::install();
    m_common->m_diagnostics->setWarningsShown(!m_common->m_options->m_warnFlag);
    const std::vector<std::string>& inputFiles = m_common->m_options->m_inputFiles;
    for (const std::string& name : inputFiles) {
        assembleFile(name);
    }
}

void CAsm::assembleFile(const std::string& name)
{
    if (CPreprocessedFile::isNamedBy(name)) {
        std::cout << "Error: The input file is the intermediate file " << CAsmPreprocessor::kOutputFile
                  << "; give the source another name." << std::endl;
        CToolMessage::error("'" + name + "' is the preprocessor's output file " + CAsmPreprocessor::kOutputFile +
                            ", which each run replaces");
        CProgramExit::stop(1);
    }
    refuseOutputsOverInput(name);
    CFileBuffer input;
    preprocess(name, input);
    assemble(input, name);
    refuseWarnings();
    writeOutputs();
    m_common->m_diagnostics->setSource({});
}

void CAsm::refuseOutputsOverInput(const std::string& name) const
{
    for (const std::string& output : m_common->m_options->outputFiles()) {
        std::error_code error;
        if (std::filesystem::equivalent(output, name, error) && !error) {
            std::cout << "Error: The output file " << output << " is the input file." << std::endl;
            CToolMessage::error("the output file '" + output + "' is the source '" + name +
                                "': writing it would destroy the source");
            CProgramExit::stop(1);
        }
    }
}

void CAsm::refuseWarnings() const
{
    m_common->m_diagnostics->finishWarnings();
    if (m_common->m_options->m_fatalWarnings && m_common->m_diagnostics->warningCount() > 0) {
        CToolMessage::error("warnings are fatal (--fatal-warnings): no file was written");
        CProgramExit::stop(1);
    }
}

void CAsm::preprocess(const std::string& name, CFileBuffer& into)
{
    m_preprocessor->m_inputName = name;
    m_preprocessor->run();
    if (!m_preprocessor->loadOutput(into)) {
        CProgramExit::stop(1);
    }
}

void CAsm::assemble(CFileBuffer& preprocessed, const std::string& name)
{
    parse(preprocessed, name);
    layoutAndEmit();
}

void CAsm::parse(CFileBuffer& preprocessed, const std::string& name)
{
    m_parser->m_input = &preprocessed;
    m_parser->m_fileIndex = m_common->m_fileIndexMap->getIndex(name);
    // Messages of every stage show the lines they are about.
    m_common->m_diagnostics->setSource(preprocessed.text());
    m_parser->run();
    m_parser->m_input = nullptr;
}

void CAsm::layoutAndEmit()
{
    CDiagnosticMsgHandler& diagnostics = *m_common->m_diagnostics;
    diagnostics.check();

    layout();
    diagnostics.check();

    m_romEmitter->run();
    diagnostics.check();
}

void CAsm::writeOutputs()
{
    const CAsmOptions& options = *m_common->m_options;
    m_romEmitter->writeFiles(options.m_outputName);
    if (!options.m_formats.empty()) {
        m_imageEmitter->run();
        m_imageEmitter->writeFiles(options.m_outputName);
    }
    if (options.m_listing) {
        // The ROM text is written; its memory goes back before the listing is built.
        m_outBuffer->m_data = std::vector<std::uint8_t>();
        m_lstEmitter->run();
        m_lstEmitter->writeFiles(options.m_listingName);
    }
    commitOutputs();
    // Output files that could not be written were reported; end with status 1.
    m_common->m_diagnostics->check();
}

void CAsm::commitOutputs()
{
    std::string failedPath;
    std::error_code error;
    if (!m_outputs->commit(failedPath, error) && !failedPath.empty()) {
        CEmitter::reportUnwritten(m_common->m_diagnostics.get(), failedPath, error);
    }
}

void CAsm::finish()
{
    if (m_parser) {
        m_parser->finish();
    }
    if (m_romEmitter) {
        m_romEmitter->finish();
    }
}
