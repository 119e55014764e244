#include "parser/CParser.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <sstream>

#include "asm/CAsmOptions.h"
#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "lexer/CLexer.h"
#include "parser/CParseError.h"
#include "asm/CDiagnosticMsgHandler.h"

namespace {
constexpr int kWrongSymbolUsage = 1312;
constexpr const char* kExpressionElement = "exp";
constexpr const char* kUnknownClass = "Wrong key id in rule definition string.";

// A double as a fresh output stream writes it (6 significant digits), whatever
// state std::cout is in.
std::string formatDouble(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}
}  // namespace

CParser::CParser() = default;

CParser::~CParser() = default;

void CParser::init(CAsm* driver)
{
    CProgramModule::init(driver);
    if (m_common != nullptr) {
        m_diag = m_common->m_diagnostics.get();
        m_debugDump = m_common->m_options != nullptr && m_common->m_options->m_debugDump;
    }
}

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
    m_lexer->m_input = nullptr;
    indexRules();
}

// rule-def = ("exp" | class-name | other-token)* EOF    e.g. "add reg, reg, reg"
// Other tokens are literals; an unknown class name makes the rule unusable.
void CParser::compileRule(CParseRule& rule)
{
    CFileBuffer definition(rule.m_def);
    m_lexer->m_input = &definition;
    rule.m_elems.clear();
    for (const CToken* token = &m_lexer->next(); token->m_id != TOK_END; token = &m_lexer->next()) {
        if (token->m_id != TOK_IDENTIFIER) {
            rule.m_elems.push_back({CParseRule::Literal, {token->m_id}});
        } else if (token->m_text == kExpressionElement) {
            rule.m_elems.push_back({CParseRule::Expression, {}});
        } else if (auto found = m_classes.find(token->m_text); found != m_classes.end()) {
            rule.m_elems.push_back({CParseRule::Class, found->second});
        } else {
            rule.m_usable = false;
            if (m_diag != nullptr) {
                m_diag->reportText(kUnknownClass);
            }
        }
    }
}

void CParser::indexRules()
{
    std::int32_t maxId = 0;
    for (const std::unique_ptr<CParseRule>& rule : m_rules) {
        for (const CParseRule::Element& element : rule->m_elems) {
            for (std::int32_t id : element.ids) {
                maxId = std::max(maxId, id);
            }
        }
    }
    // Every base token id gets an entry, so rules led by an expression are found too.
    maxId = std::max<std::int32_t>(maxId, TOK_SEPARATOR);
    m_rulesByFirstToken.assign(static_cast<std::size_t>(maxId) + 1, {});
    m_rulesForAnyToken.clear();
    for (const std::unique_ptr<CParseRule>& rule : m_rules) {
        if (!rule->m_usable) {
            continue;
        }
        for (std::int32_t id = 0; id <= maxId; ++id) {
            if (rule->canStartWith(id)) {
                m_rulesByFirstToken[static_cast<std::size_t>(id)].push_back(rule.get());
            }
        }
        if (rule->m_elems.empty()) {
            m_rulesForAnyToken.push_back(rule.get());
        }
    }
}

const std::vector<CParseRule*>& CParser::rulesStartingWith(std::int32_t tokenId) const
{
    if (tokenId >= 0 && static_cast<std::size_t>(tokenId) < m_rulesByFirstToken.size()) {
        return m_rulesByFirstToken[static_cast<std::size_t>(tokenId)];
    }
    return m_rulesForAnyToken;
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
        std::cout << "Expression is ";
        if (!symbol.empty()) {
            std::cout << symbol << " + ";
        }
        std::cout << formatDouble(value) << '\n';
    }
    return true;
}

// exp = expr, then evaluated: a symbol used wrongly fails it with message 1312.
bool CParser::parseExpression(std::unique_ptr<CExpr>& tree, double& value, std::string& symbol)
{
    // Where the expression begins, read from the history only for a message.
    const std::int32_t first = m_lexer->m_cursor;
    tree = m_exprParser.parse(*m_lexer);
    if (!tree) {
        return false;
    }
    try {
        tree->evaluate(value, symbol);
    } catch (const CParseError&) {
        tree.reset();
        if (m_diag != nullptr) {
            CDiagnosticMsgHandler::Detail detail;
            detail.text = CExpr::kOneLabelRule;
            detail.offset = m_lexer->historyAt(static_cast<std::size_t>(first)).m_offset;
            const CToken& last = m_lexer->historyAt(static_cast<std::size_t>(m_lexer->m_cursor) - 1);
            const std::size_t end = last.m_offset + last.m_length;
            detail.length = end > detail.offset ? end - detail.offset : 1;
            m_diag->reportError(kWrongSymbolUsage, m_line, m_fileIndex, "", std::move(detail));
        }
        return false;
    }
    return true;
}

void CParser::notePosition()
{
    if (m_diag != nullptr) {
        m_diag->setPosition(m_line, m_fileIndex);
    }
}

void CParser::advanceLine()
{
    if (m_line < std::numeric_limits<std::int32_t>::max()) {
        ++m_line;
    }
    notePosition();
}
