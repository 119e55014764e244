#include "emitter/BackEndHarness.h"

#include "asm/CAsmOptions.h"
#include "asm/CFileIndexMap.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbolTable.h"
#include "lexer/CToken.h"
#include "lexer/CVornPlatformDesc.h"
#include "support/TestSupport.h"
#include "asm/CDiagnosticMsgHandler.h"

namespace backend {

std::unique_ptr<CExpr> num(double value)
{
    return std::make_unique<CExpr>(TOK_DEC_NUMBER, value);
}

std::unique_ptr<CExpr> sym(const std::string& name)
{
    return std::make_unique<CExpr>(TOK_IDENTIFIER, 0.0, name);
}

std::unique_ptr<CExpr> op(int tokenId, std::unique_ptr<CExpr> left, std::unique_ptr<CExpr> right)
{
    return std::make_unique<CExpr>(tokenId, std::move(left), std::move(right));
}

std::unique_ptr<CStatement> regs(int id, const std::vector<std::string>& registers)
{
    auto statement = std::make_unique<CStatement>(id);
    for (const std::string& name : registers) {
        statement->addOperand(std::make_unique<CRegOperand>(name), CStatement::Source);
    }
    return statement;
}

std::unique_ptr<CStatement> expr(int id, std::unique_ptr<CExpr> tree)
{
    auto statement = std::make_unique<CStatement>(id);
    statement->addOperand(std::make_unique<CSymExpOperand>(std::move(tree)), CStatement::Source);
    return statement;
}

namespace {
int nextCycle(const CSection& section)
{
    return section.m_statements.empty() ? 0 : section.m_statements.back()->m_cycle + 1;
}
}  // namespace

BackEnd::BackEnd()
{
    m_common.m_common = &m_common;
    m_driver.m_common = &m_common;
    m_common.m_options = std::make_unique<CAsmOptions>();
    m_common.m_diagnostics = std::make_unique<CDiagnosticMsgHandler>();
    m_common.m_symbols = std::make_unique<CSymbolTable>();
    m_common.m_sections = std::make_unique<CSectionTable>();
    m_common.m_fileIndexMap = std::make_unique<CFileIndexMap>();
    m_common.m_platformDesc = std::make_unique<CVornPlatformDesc>();
    m_common.m_opcodeGenerator = std::make_unique<CVornOpcodeGenerator>();
    for (CProgramModule* module : std::initializer_list<CProgramModule*>{
             m_common.m_options.get(), m_common.m_diagnostics.get(), m_common.m_symbols.get(),
             m_common.m_sections.get(), m_common.m_fileIndexMap.get(), m_common.m_platformDesc.get(),
             m_common.m_opcodeGenerator.get(), &m_rom, &m_lst}) {
        module->init(&m_driver);
    }
    m_common.m_fileIndexMap->getIndex("prog.s");
    m_rom.m_codeBuffer = &m_outBuffer;
}

BackEnd::~BackEnd() = default;

CSection* BackEnd::section(int kind)
{
    const bool code = kind == CSection::Code;
    return m_common.m_sections->addSection(code ? "main" : "data", kind, 0, code ? "PM" : "XM");
}

CStatement* BackEnd::add(CSection* section, std::unique_ptr<CStatement> statement, int line)
{
    statement->m_cycle = nextCycle(*section);
    statement->m_line = line;
    section->m_statements.push_back(std::move(statement));
    return section->m_statements.back().get();
}

CSymbol* BackEnd::label(const std::string& name, CSection* section)
{
    CSymbol symbol;
    symbol.m_name = name;
    symbol.m_section = section;
    symbol.m_cycle = section != nullptr ? nextCycle(*section) : 0;
    m_common.m_symbols->addSymbol(symbol);
    return m_common.m_symbols->find(name);
}

std::string BackEnd::layout()
{
    return testsupport::captureRun([this] { m_driver.layout(); }).output;
}

std::string BackEnd::listing()
{
    m_lst.run();
    return std::string(m_lst.m_codeBuffer->text());
}

std::vector<int> BackEnd::reportedCodes() const
{
    std::vector<int> codes;
    for (const auto& message : m_common.m_diagnostics->reported()) {
        codes.push_back(message.code);
    }
    return codes;
}

CVornOpcodeGenerator& BackEnd::generator()
{
    return static_cast<CVornOpcodeGenerator&>(*m_common.m_opcodeGenerator);
}

}  // namespace backend
