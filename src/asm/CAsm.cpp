#include "asm/CAsm.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <limits>
#include <string>
#include <system_error>

#include "asm/CAsmOptions.h"
#include "asm/CAsmPreprocessor.h"
#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CFileIndexMap.h"
#include "asm/CPreprocessorOverlap.h"
#include "emitter/CEmitter.h"
#include "parser/CAsmParser.h"
#include "util/CDiagnosticMsgHandler.h"
#include "util/CProgramExit.h"
#include "util/CMemoryReadier.h"

namespace {
// Per byte of source, the statement, operand and expression records take
// about `records` bytes (comments need none; listing texts add a few), and
// the large buffers (the preprocessed text, statement lists, symbol index,
// output texts) about `buffers`. Memory for both is readied on that basis;
// what the parse does not take of the records' share is freed after it.
struct ReadyingRates {
    std::uintmax_t records;
    std::uintmax_t buffers;
};
constexpr ReadyingRates kPlainRates{20, 5};
constexpr ReadyingRates kListingRates{23, 8};

// The source file's size; 0 when unknown.
std::uintmax_t sourceSize(const std::string& source)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(source, error);
    return error ? 0 : size;
}

// Whether the source is the intermediate file itself (under any name): the
// preprocessor would empty it before reading it, and the source would be lost.
bool isIntermediateFile(const std::string& source)
{
    std::error_code error;
    return std::filesystem::equivalent(source, CAsmPreprocessor::kOutputFile, error) && !error;
}

// Starts readying memory for the source's size times the rates.
void readyMemoryFor(std::uintmax_t size, const ReadyingRates& rates)
{
    auto scaled = [size](std::uintmax_t perByte) {
        const std::uintmax_t most = std::numeric_limits<std::size_t>::max() / perByte;
        return static_cast<std::size_t>(std::min(size, most) * perByte);
    };
    CMemoryReadier::start(scaled(rates.buffers), scaled(rates.records));
}
}  // namespace

CAsm::CAsm(int argc, char** argv) : m_argc(argc), m_argv(argv) {}

CAsm::~CAsm() = default;

void CAsm::init(CAsm* /*driver*/)
{
    m_commonModules = std::make_unique<CCommonModules>(m_argc, m_argv);
    m_common = m_commonModules.get();
    m_commonModules->init(this);

    m_outBuffer = std::make_unique<CFileBuffer>();

    m_preprocessor = std::make_unique<CAsmPreprocessor>();
    m_preprocessor->init(this);
}

void CAsm::run()
{
    const std::vector<std::string>& inputFiles = m_common->m_options->m_inputFiles;
    for (const std::string& name : inputFiles) {
        assembleFile(name);
    }
}

void CAsm::assembleFile(const std::string& name)
{
    if (isIntermediateFile(name)) {
        std::cout << "Error: The input file is the intermediate file " << CAsmPreprocessor::kOutputFile
                  << "; give the source another name." << std::endl;
        CProgramExit::stop(1);
    }
    const std::uintmax_t size = sourceSize(name);
    // Memory is readied in idle time while the preprocessor runs.
    readyMemoryFor(size, m_common->m_options->m_listing ? kListingRates : kPlainRates);
    m_preprocessor->m_inputName = name;
    // The debug trace is printed as it happens, so that run parses after
    // the preprocessor; every other parses while it runs.
    if (m_common->m_options->m_debugDump || !parseWhilePreprocessing(name, size)) {
        parseAfterPreprocessing(name);
    }
    layoutAndEmit();
    writeOutputs();
}

bool CAsm::parseWhilePreprocessing(const std::string& name, std::uintmax_t sourceSize)
{
    CPreprocessorOverlap overlap(*m_preprocessor);
    if (!overlap.start()) {
        return false;
    }
    // Preprocessed text is about as long as its source: one reservation
    // spares copying it as it grows.
    overlap.input().m_data.reserve(static_cast<std::size_t>(sourceSize + sourceSize / 8));
    // Layout keeps pace with the parse, so little of it is left when the
    // preprocessor ends.
    parse(overlap.input(), name, true);
    if (overlap.settle() != CPreprocessorOverlap::Succeeded) {
        CProgramExit::stop(1);
    }
    return true;
}

void CAsm::parseAfterPreprocessing(const std::string& name)
{
    m_preprocessor->run();
    CFileBuffer input;
    if (!input.loadFromFile(CAsmPreprocessor::kOutputFile)) {
        CPreprocessorOverlap::reportUnreadable();
        CProgramExit::stop(1);
    }
    parse(input, name, false);
}

void CAsm::assemble(CFileBuffer& preprocessed, const std::string& name, bool layAhead)
{
    parse(preprocessed, name, layAhead);
    layoutAndEmit();
}

void CAsm::parse(CFileBuffer& preprocessed, const std::string& name, bool layAhead)
{
    m_parser->m_input = &preprocessed;
    m_parser->m_fileIndex = m_common->m_fileIndexMap->getIndex(name);
    // The debug trace of layout belongs after the parse's.
    if (layAhead && !m_common->m_options->m_debugDump) {
        m_parser->m_cycleClosed = [this](CSection& section) { layOutAhead(section); };
    }
    m_parser->run();
    m_parser->m_cycleClosed = nullptr;
    m_parser->m_input = nullptr;
    CMemoryReadier::stop();
    // The text is parsed; its memory is better spent on the output texts.
    preprocessed.m_data = CFileBuffer::Bytes();
    preprocessed.m_pos = 0;
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
    if (options.m_listing) {
        // The ROM text is written; its pages go back before the listing
        // buffer takes its own.
        m_outBuffer->m_data = CFileBuffer::Bytes();
        m_lstEmitter->run();
        m_lstEmitter->writeFiles(options.m_listingName);
    }
    // Output files that could not be written were reported; end with status 1.
    m_common->m_diagnostics->check();
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
