#include "support/ParserHarness.h"

#include <algorithm>

#include "support/InProcessAssembly.h"

namespace testsupport {

ParserHarness::ParserHarness(const std::vector<std::string>& options)
    : m_listing(std::find(options.begin(), options.end(), "-l") != options.end()),
      m_debugDump(std::find(options.begin(), options.end(), "-debug-dump") != options.end())
{
    m_files.getIndex("prog.s");
    m_diagnostics = std::make_unique<CDiagnosticMsgHandler>();
    m_parser = std::make_unique<CVornParser>(*m_diagnostics, m_files, m_symbols, m_sections, m_listing, m_debugDump);
}

RunResult ParserHarness::parse(const std::string& preprocessed, const CSourceTexts& originals)
{
    m_originals = originals;
    m_input = CFileBuffer(preprocessed);
    m_map = std::make_unique<CSourceMap>(m_input.text(), m_files, 0, m_originals);
    m_diagnostics = std::make_unique<CDiagnosticMsgHandler>();
    m_parser = std::make_unique<CVornParser>(*m_diagnostics, m_files, m_symbols, m_sections, m_listing, m_debugDump);
    CAssemblyResult result;
    result.stage = CAssemblyResult::Stage::Done;
    try {
        m_parser->run(m_input, 0);
    } catch (const CStop&) {
        result.stage = CAssemblyResult::Stage::Parse;
    }
    result.diagnostics = m_diagnostics->diagnostics();
    for (CDiagnostic& diagnostic : result.diagnostics) {
        m_map->place(diagnostic);
    }
    result.report = m_diagnostics->items();
    result.files = m_files.names();
    return printed(result);
}

std::vector<const CStatement*> ParserHarness::statements() const
{
    std::vector<const CStatement*> all;
    for (const std::unique_ptr<CSection>& section : sections()) {
        for (const std::unique_ptr<CStatement>& statement : section->m_statements) {
            all.push_back(statement.get());
        }
    }
    return all;
}

}  // namespace testsupport
