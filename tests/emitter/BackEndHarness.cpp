#include "emitter/BackEndHarness.h"

#include "asm/CAsmOptions.h"
#include "asm/CFileIndexMap.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbolTable.h"
#include "lexer/CToken.h"
#include "lexer/CVornPlatformDesc.h"
#include "support/TestSupport.h"

namespace backend {

std::unique_ptr<CExpr> num(double value)
{
    return std::make_unique<CExpr>(TOK_DEC_NUMBER, value);
}

std::unique_ptr<CExpr> sym(const std::string& name)
{
    return std::make_unique<CExpr>(TOK_IDENTIFIER, 0.0, name);
}

std::unique_ptr<CExpr> plus(std::unique_ptr<CExpr> left, std::unique_ptr<CExpr> right)
{
    return std::make_unique<CExpr>(TOK_PLUS, std::move(left), std::move(right));
}

std::unique_ptr<CExpr> minus(std::unique_ptr<CExpr> left, std::unique_ptr<CExpr> right)
{
    return std::make_unique<CExpr>(TOK_MINUS, std::move(left), std::move(right));
}

std::unique_ptr<CStatement> regs(int id, const std::vector<std::string>& registers)
{
    auto statement = std::make_unique<CStatement>(id);
    for (std::size_t i = 0; i < registers.size(); ++i) {
        const int role = (i == 0 && id != St) ? CStatement::Destination : CStatement::Source;
        statement->addOperand(std::make_unique<CRegOperand>(registers[i]), role);
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
    m_common.m_options->init(&m_driver);
    m_common.m_diagnostics->init(&m_driver);
    m_common.m_symbols->init(&m_driver);
    m_common.m_sections->init(&m_driver);
    m_common.m_fileIndexMap->init(&m_driver);
    m_common.m_fileIndexMap->getIndex("prog.s");
    m_common.m_platformDesc->init(&m_driver);
    m_common.m_opcodeGenerator->init(&m_driver);
    m_rom.init(&m_driver);
    m_rom.m_codeBuffer = &m_outBuffer;
    m_lst.init(&m_driver);
}

BackEnd::~BackEnd()
{
    m_driver.m_common = nullptr;
}

CSection* BackEnd::addCode()
{
    return m_common.m_sections->addSection("main", CSection::Code, 0, "PM");
}

CSection* BackEnd::addData()
{
    return m_common.m_sections->addSection("data", CSection::Data, 0, "XM");
}

CStatement* BackEnd::add(CSection* section, std::unique_ptr<CStatement> statement, int line)
{
    statement->m_cycle = nextCycle(*section);
    statement->m_line = line;
    statement->m_fileIndex = 0;
    section->m_statements.push_back(std::move(statement));
    return section->m_statements.back().get();
}

CSymbol* BackEnd::label(const std::string& name, CSection* section)
{
    CSymbol symbol;
    symbol.m_name = name;
    symbol.m_section = section;
    if (section != nullptr) {
        symbol.m_cycle = nextCycle(*section);
    }
    m_common.m_symbols->addSymbol(symbol);
    return m_common.m_symbols->find(name);
}

std::string BackEnd::layout()
{
    return testsupport::captureRun([this] { m_driver.layout(); }).output;
}

void BackEnd::emit()
{
    m_rom.run();
}

std::string BackEnd::romText() const
{
    return std::string(m_outBuffer.text());
}

std::string BackEnd::dataText() const
{
    return m_rom.m_dataBuffer ? std::string(m_rom.m_dataBuffer->text()) : std::string();
}

std::string BackEnd::listing()
{
    m_lst.run();
    return std::string(m_lst.m_codeBuffer->text());
}

}  // namespace backend
