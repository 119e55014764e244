#include "parser/CParseRule.h"

#include <algorithm>
#include <iostream>
#include <memory>

#include "lexer/CLexer.h"
#include "parser/CAsmParser.h"
#include "parser/CExprParser.h"
#include "parser/CStatement.h"
#include "util/CProgramExit.h"

namespace {
// Guards the agreement of a rule's operand list with its captures.
void requireConsistent(bool condition, const char* text, int line)
{
    if (!condition) {
        std::cout << "Assertion failed: " << text << ", file parser/CParseRule, line " << line << std::endl;
        CProgramExit::stop(1);
    }
}
}  // namespace

CParseRule::CParseRule(std::string name, std::string def, std::vector<OperandSpec> operands, std::int32_t id)
    : m_name(std::move(name)), m_def(std::move(def)), m_operands(std::move(operands)), m_id(id)
{
}

// rule = element*, then verify; a verified match builds its record.
bool CParseRule::tryMatch(CAsmParser& parser)
{
    if (!m_usable || !match(parser) || !verify(parser)) {
        return false;
    }
    build(parser);
    return true;
}

// rule = element*    (m_elems in order, all or nothing)
bool CParseRule::match(CAsmParser& parser)
{
    CLexer& lexer = *parser.m_lexer;
    parser.m_ruleStart = lexer.m_cursor;
    parser.m_strs.clear();
    parser.m_exps.clear();
    for (const Element& element : m_elems) {
        if (!matchElement(parser, element)) {
            lexer.m_cursor = parser.m_ruleStart;
            return false;
        }
    }
    return true;
}

// element = literal-token | class | exp
bool CParseRule::matchElement(CAsmParser& parser, const Element& element)
{
    switch (element.kind) {
    case Literal:
        return parser.m_lexer->next().m_id == element.ids.front();
    case Class:
        return parser.matchClass(element.ids);
    default: {
        std::unique_ptr<CExpr> tree;
        if (!parser.matchExpression(tree)) {
            return false;
        }
        parser.m_exps.push_back(std::move(tree));
        return true;
    }
    }
}

bool CParseRule::verify(CAsmParser& /*parser*/)
{
    return true;
}

void CParseRule::build(CAsmParser& parser)
{
    auto statement = std::make_unique<CStatement>(m_id);
    statement->reserveOperands(m_operands.size());
    std::size_t expIndex = 0;
    std::size_t strIndex = 0;
    for (const auto& [kind, role] : m_operands) {
        std::unique_ptr<COperand> operand;
        if (kind == COperand::SymExp) {
            requireConsistent(expIndex < parser.m_exps.size(), "expIndex < parser->m_exps.size()", 67);
            operand = std::make_unique<CSymExpOperand>(std::move(parser.m_exps[expIndex++]));
        } else {
            requireConsistent(strIndex < parser.m_strs.size(), "strIndex < parser->m_strs.size()", 75);
            operand = COperand::create(kind, parser.m_strs[strIndex++]);
        }
        statement->addOperand(std::move(operand), role);
    }
    parser.addStatement(std::move(statement));
    if (parser.m_debugDump) {
        std::cout << m_def << '\n';
    }
}

bool CParseRule::canStartWith(std::int32_t tokenId) const
{
    if (m_elems.empty()) {
        return true;
    }
    const Element& first = m_elems.front();
    if (first.kind == Expression) {
        return CExprParser::canBegin(tokenId);
    }
    return std::find(first.ids.begin(), first.ids.end(), tokenId) != first.ids.end();
}
