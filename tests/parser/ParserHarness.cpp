#include "parser/ParserHarness.h"

#include "asm/CCommonModules.h"
#include "asm/CFileIndexMap.h"
#include "asm/CSectionTable.h"
#include "parser/CVornParser.h"

namespace testsupport {

ParserHarness::ParserHarness(std::vector<std::string> options)
{
    m_storage = {"rozedov", "prog.s"};
    m_storage.insert(m_storage.end(), options.begin(), options.end());
    for (std::string& argument : m_storage) {
        m_argv.push_back(argument.data());
    }
    m_argv.push_back(nullptr);
    captureRun([this] {
        m_driver = std::make_unique<CRozeDov>(static_cast<int>(m_storage.size()), m_argv.data());
        m_driver->init(nullptr);
        m_driver->m_parser->m_fileIndex = common().m_fileIndexMap->getIndex("prog.s");
    });
}

ParserHarness::~ParserHarness() = default;

RunResult ParserHarness::parse(const std::string& preprocessed)
{
    m_input = CFileBuffer(preprocessed);
    return captureRun([this] {
        CAsmParser& asmParser = *m_driver->m_parser;
        asmParser.m_input = &m_input;
        asmParser.run();
    });
}

CVornParser& ParserHarness::parser() const
{
    return static_cast<CVornParser&>(*m_driver->m_parser);
}

CCommonModules& ParserHarness::common() const
{
    return *m_driver->m_common;
}

const std::vector<std::unique_ptr<CSection>>& ParserHarness::sections() const
{
    return common().m_sections->sections();
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

std::string ParserHarness::fileName(int index) const
{
    return common().m_fileIndexMap->getName(index);
}

}  // namespace testsupport
