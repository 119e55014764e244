#include "support/BackEndHarness.h"

#include "core/CToken.h"
#include "emitter/CLstEmitter.h"
#include "emitter/CVornStringEmitter.h"
#include "layout/CLayout.h"
#include "support/InProcessAssembly.h"

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
    m_files.getIndex("prog.s");
    m_generator.m_diag = &m_diagnostics;
}

CSection* BackEnd::section(int kind)
{
    const bool code = kind == CSection::Code;
    return m_sections.addSection(code ? "main" : "data", kind, 0, code ? "PM" : "XM");
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
    m_symbols.addSymbol(symbol);
    return m_symbols.find(name);
}

std::string BackEnd::layout(bool debugDump)
{
    const std::size_t before = m_diagnostics.items().size();
    CLayout(m_sections, m_symbols, m_generator, m_platform, m_diagnostics, debugDump).run();
    std::string trace;
    for (std::size_t i = before; i < m_diagnostics.items().size(); ++i) {
        trace += m_diagnostics.items()[i].trace;
    }
    return trace;
}

std::string BackEnd::romText() const
{
    CVornStringEmitter emitter;
    emitter.run(m_sections);
    return emitter.m_codeText;
}

std::string BackEnd::dataText() const
{
    CVornStringEmitter emitter;
    emitter.run(m_sections);
    return emitter.m_dataText;
}

std::string BackEnd::listing() const
{
    CLstEmitter emitter;
    emitter.run(m_symbols, m_sections);
    return emitter.m_text;
}

std::vector<int> BackEnd::reportedCodes() const
{
    std::vector<int> codes;
    for (const CDiagnostic& diagnostic : m_diagnostics.diagnostics()) {
        if (diagnostic.numbered) {
            codes.push_back(diagnostic.code);
        }
    }
    return codes;
}

testsupport::RunResult BackEnd::printed() const
{
    CAssemblyResult result;
    result.diagnostics = m_diagnostics.diagnostics();
    result.report = m_diagnostics.items();
    result.files = m_files.names();
    return testsupport::printed(result);
}

}  // namespace backend
