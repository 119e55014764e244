#include "parser/CParseRule.h"

#include <algorithm>
#include <memory>

#include "core/CDiagnosticMsgHandler.h"
#include "core/CStatement.h"
#include "lexer/CLexer.h"
#include "parser/CAsmParser.h"
#include "parser/CExprParser.h"

CParseRule::CParseRule(std::string name, std::string def, std::vector<OperandShape> operands, std::int32_t id)
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
    parser.m_strSpans.clear();
    parser.m_expSpans.clear();
    for (std::size_t index = 0; index < m_elems.size(); ++index) {
        const std::int32_t before = lexer.m_cursor;
        if (!matchElement(parser, m_elems[index])) {
            // An expression may have read further than its first token.
            const std::int32_t reached = std::max(before, lexer.m_cursor - 1);
            parser.noteExpectation({CExpectation::Element, reached, this, index, before});
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
        const std::int32_t first = parser.m_lexer->m_cursor;
        std::unique_ptr<CExpr> tree;
        if (!parser.matchExpression(tree)) {
            return false;
        }
        parser.m_exps.push_back(std::move(tree));
        parser.m_expSpans.push_back(parser.spanBetween(first, parser.m_lexer->m_cursor));
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
        CSpan span;
        if (kind == COperand::SymExp) {
            parser.requireConsistent(expIndex < parser.m_exps.size(), "expIndex < parser->m_exps.size()", 67);
            span = parser.m_expSpans[expIndex];
            operand = std::make_unique<CSymExpOperand>(std::move(parser.m_exps[expIndex++]));
        } else {
            parser.requireConsistent(strIndex < parser.m_strs.size(), "strIndex < parser->m_strs.size()", 75);
            span = parser.m_strSpans[strIndex];
            operand = COperand::create(kind, parser.m_strs[strIndex++]);
        }
        operand->m_offset = span.offset;
        operand->m_length = span.length;
        statement->addOperand(std::move(operand), role);
    }
    parser.addStatement(std::move(statement));
    if (parser.m_debugDump) {
        parser.m_diag->trace(m_def + "\n");
    }
}

bool CParseRule::canStartWith(std::int32_t tokenId) const
{
    if (!m_usable) {
        return false;
    }
    if (m_elems.empty()) {
        return true;
    }
    const Element& first = m_elems.front();
    if (first.kind == Expression) {
        return CExprParser::canBegin(tokenId);
    }
    return std::find(first.ids.begin(), first.ids.end(), tokenId) != first.ids.end();
}
