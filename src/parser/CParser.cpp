#include "parser/CParser.h"

#include <algorithm>
#include <limits>
#include <sstream>

#include "core/CDiagnosticMsgHandler.h"
#include "core/CParseError.h"
#include "lexer/CLexer.h"
#include "util/CFileBuffer.h"

namespace {
constexpr int kWrongSymbolUsage = 1312;
constexpr const char* kExpressionElement = "exp";
constexpr const char* kUnknownClass = "Wrong key id in rule definition string.";

// A double as a fresh output stream writes it (6 significant digits).
std::string formatDouble(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}
}  // namespace

CParser::CParser(CDiagnosticMsgHandler& diagnostics, CFileIndexMap& files, bool debugDump)
    : m_diag(&diagnostics), m_files(&files), m_debugDump(debugDump)
{
}

CParser::~CParser() = default;

void CParser::rewind()
{
    if (m_ruleStart >= 0) {
        m_lexer->m_cursor = m_ruleStart;
    }
}

void CParser::compileRules()
{
    for (const std::unique_ptr<CParseRule>& rule : m_rules) {
        compileRule(*rule);
    }
    m_lexer->start(nullptr);
}

// rule-def = ("exp" | class-name | other-token)* EOF    e.g. "add reg, reg, reg"
// Other tokens are literals; an unknown class name makes the rule unusable.
void CParser::compileRule(CParseRule& rule)
{
    CFileBuffer definition(rule.m_def);
    m_lexer->start(&definition);
    rule.m_elems.clear();
    for (const CToken* token = &m_lexer->next(); token->m_id != TOK_END; token = &m_lexer->next()) {
        const std::string written(definition.text().substr(token->m_offset, token->m_length));
        if (token->m_id != TOK_IDENTIFIER) {
            rule.m_elems.push_back({CParseRule::Literal, {token->m_id}, written});
        } else if (token->m_text == kExpressionElement) {
            rule.m_elems.push_back({CParseRule::Expression, {}, written});
        } else if (auto found = m_classes.find(token->m_text); found != m_classes.end()) {
            rule.m_elems.push_back({CParseRule::Class, found->second.ids, written});
        } else {
            rule.m_usable = false;
            m_diag->reportText(kUnknownClass);
        }
    }
}

std::vector<CParseRule*> CParser::rulesStartingWith(std::int32_t tokenId) const
{
    std::vector<CParseRule*> rules;
    for (const std::unique_ptr<CParseRule>& rule : m_rules) {
        if (rule->canStartWith(tokenId)) {
            rules.push_back(rule.get());
        }
    }
    return rules;
}

// class = one token whose id the class lists    e.g. reg = "r0" | ... | "r7"
bool CParser::matchClass(const std::vector<std::int32_t>& ids)
{
    const CToken& token = m_lexer->next();
    if (std::find(ids.begin(), ids.end(), token.m_id) == ids.end()) {
        m_lexer->m_cursor = m_ruleStart;
        return false;
    }
    m_strs.push_back(token.m_text);
    m_strSpans.push_back({token.m_offset, token.m_length});
    return true;
}

// exp = expr    (a rule element; on failure back to the rule's start)
bool CParser::matchExpression(std::unique_ptr<CExpr>& tree)
{
    return parseDataExpression(tree, m_ruleStart);
}

// exp = expr    (on failure back to `fallback`)
bool CParser::parseDataExpression(std::unique_ptr<CExpr>& tree, std::int32_t fallback)
{
    double value = 0.0;
    std::string symbol;
    if (!parseExpression(tree, value, symbol)) {
        if (fallback >= 0) {
            m_lexer->m_cursor = fallback;
        }
        return false;
    }
    if (m_debugDump) {
        m_diag->trace("Expression is " + (symbol.empty() ? std::string() : symbol + " + ") + formatDouble(value) +
                      "\n");
    }
    return true;
}

// exp = expr, then evaluated: a symbol used wrongly fails it with message 1312.
bool CParser::parseExpression(std::unique_ptr<CExpr>& tree, double& value, std::string& symbol)
{
    const std::int32_t first = m_lexer->m_cursor;
    tree = m_exprParser.parse(*m_lexer);
    if (!tree) {
        return false;
    }
    try {
        tree->evaluate(value, symbol);
    } catch (const CParseError&) {
        tree.reset();
        const CSpan span = spanBetween(first, m_lexer->m_cursor);
        m_diag->reportError(kWrongSymbolUsage, m_line, m_fileIndex, "",
                            {CExpr::kOneLabelRule, span.offset, std::max<std::size_t>(span.length, 1)});
        return false;
    }
    return true;
}

void CParser::noteExpectation(const CExpectation& expectation)
{
    if (m_expectation.what == CExpectation::Nothing || expectation.reached > m_expectation.reached) {
        m_expectation = expectation;
    }
}

std::string_view CParser::spelled(const CToken& token) const
{
    if (m_input == nullptr) {
        return token.m_text;
    }
    return m_input->text().substr(std::min(token.m_offset, m_input->m_data.size()), token.m_length);
}

CSpan CParser::spanBetween(std::int32_t first, std::int32_t end) const
{
    if (first < 0 || end <= first) {
        return {};
    }
    const CToken& from = m_lexer->historyAt(static_cast<std::size_t>(first));
    const CToken& last = m_lexer->historyAt(static_cast<std::size_t>(end) - 1);
    const std::size_t stop = last.m_offset + last.m_length;
    return {from.m_offset, stop > from.m_offset ? stop - from.m_offset : 0};
}

void CParser::advanceLine()
{
    if (m_line < std::numeric_limits<std::int32_t>::max()) {
        ++m_line;
    }
}
