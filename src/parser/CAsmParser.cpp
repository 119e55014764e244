#include "parser/CAsmParser.h"

#include <algorithm>
#include <iostream>

#include "asm/CAsmOptions.h"
#include "asm/CCommonModules.h"
#include "asm/CSection.h"
#include "lexer/CLexer.h"
#include "util/CProgramExit.h"
#include "util/NumberFormat.h"

CAsmParser::CAsmParser() = default;

CAsmParser::~CAsmParser() = default;

void CAsmParser::init(CAsm* driver)
{
    CParser::init(driver);
    m_listing = m_common != nullptr && m_common->m_options != nullptr && m_common->m_options->m_listing;
}

void CAsmParser::addStatement(std::unique_ptr<CStatement> statement)
{
    statement->m_cycle = m_curCycle;
    statement->m_line = m_line;
    statement->m_fileIndex = m_fileIndex;
    statement->m_offset = m_statementOffset;
    m_pending.push_back(std::move(statement));
}

void CAsmParser::closeStatement()
{
    if (m_section == nullptr) {
        std::cout << "No section" << std::endl;
        CProgramExit::stop(1);
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
    // Released tokens are not read; the statement loop passes a start after them.
    const std::size_t begin = std::max(static_cast<std::size_t>(std::max(first, 0)), m_lexer->historyBase());
    for (std::size_t index = begin; index < end; ++index) {
        appendTokenText(m_lstText, m_lexer->historyAt(index));
    }
    if (!m_lstPending) {
        return;
    }
    m_lstPending = false;
    if (m_section == nullptr) {
        std::cout << "No section - lst" << std::endl;
        CProgramExit::stop(1);
    }
    // A copy of exact size; the working text keeps its capacity for the next line.
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
