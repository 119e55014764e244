#include "parser/CAsmParser.h"

#include <algorithm>

#include "core/CDiagnosticMsgHandler.h"
#include "core/CSection.h"
#include "lexer/CLexer.h"
#include "util/NumberFormat.h"

CAsmParser::CAsmParser(CDiagnosticMsgHandler& diagnostics, CFileIndexMap& files, CSymbolTable& symbols,
                       CSectionTable& sections, bool listing, bool debugDump)
    : CParser(diagnostics, files, debugDump), m_symbols(&symbols), m_sections(&sections), m_listing(listing)
{
}

CAsmParser::~CAsmParser() = default;

void CAsmParser::addStatement(std::unique_ptr<CStatement> statement)
{
    statement->m_cycle = m_curCycle;
    statement->m_line = m_line;
    statement->m_fileIndex = m_fileIndex;
    statement->m_offset = m_statementOffset;
    statement->m_length = spanBetween(m_statementStart, m_lexer->m_cursor).length;
    m_pending.push_back(std::move(statement));
}

void CAsmParser::closeStatement()
{
    if (m_section == nullptr) {
        stop("No section\n");
    }
    for (std::unique_ptr<CStatement>& statement : m_pending) {
        m_section->m_statements.push_back(std::move(statement));
    }
    m_pending.clear();
    if (m_listing) {
        m_lstPending = true;
    }
    ++m_curCycle;
}

void CAsmParser::recordListing(std::int32_t first)
{
    const std::size_t end = std::min(static_cast<std::size_t>(std::max(m_lexer->m_cursor, 0)), m_lexer->historySize());
    const std::size_t begin = std::max(static_cast<std::size_t>(std::max(first, 0)), m_lexer->m_historyBase);
    for (std::size_t index = begin; index < end; ++index) {
        appendTokenText(m_lstText, m_lexer->historyAt(index));
    }
    if (!m_lstPending) {
        return;
    }
    m_lstPending = false;
    if (m_section == nullptr) {
        stop("No section - lst\n");
    }
    m_section->m_lstLines.emplace_back(m_lstText.data(), m_lstText.size());
    m_lstText.clear();
}

std::string CAsmParser::tokensToText(const std::vector<CToken>& tokens)
{
    std::string text;
    for (const CToken& token : tokens) {
        appendTokenText(text, token);
    }
    return text;
}

void CAsmParser::appendTokenText(std::string& text, const CToken& token)
{
    switch (token.m_id) {
    case TOK_NEWLINE:
        text += '\n';
        return;
    case TOK_DEC_NUMBER:
        NumberFormat::AppendDecimal(text, token.m_value);
        break;
    case TOK_LINE_MARKER:
        text += "# ";
        NumberFormat::AppendDecimal(text, token.m_value);
        text += ' ';
        text += token.m_text;
        break;
    default:
        text += token.m_text;
        break;
    }
    text += ' ';
}

void CAsmParser::requireConsistent(bool condition, const char* text, int line) const
{
    if (!condition) {
        stop(std::string("Assertion failed: ") + text + ", file parser/CParseRule, line " + std::to_string(line) +
             "\n");
    }
}

void CAsmParser::stop(const std::string& text) const
{
    m_diag->trace(text);
    throw CStop{};
}
