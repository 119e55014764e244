#include "parser/CVornSyntaxDiagnosis.h"

#include <algorithm>
#include <cctype>

#include "asm/CFileBuffer.h"
#include "asm/CSection.h"
#include "lexer/CVornLexer.h"
#include "parser/CStatement.h"
#include "util/CSpelling.h"

namespace {
using Detail = CDiagnosticMsgHandler::Detail;

constexpr const char* kCountWords[] = {"no", "one", "two", "three", "four"};
constexpr const char* kSourceNames[] = {"Ra", "Rb", "Rc"};

bool isRegister(std::int32_t id)
{
    return id >= TOK_R0 && id <= TOK_R7;
}

bool isMnemonic(std::int32_t id)
{
    return id >= TOK_MOV && id <= TOK_ST;
}

bool isNumber(std::int32_t id)
{
    return id == TOK_DEC_NUMBER || id == TOK_HEX_NUMBER;
}

bool endsStatement(std::int32_t id)
{
    return id == TOK_NEWLINE || id == TOK_SEPARATOR || id == TOK_END || id == TOK_COMMENT;
}

// Tokens that may stand in an expression.
bool mayStartExpression(std::int32_t id)
{
    return isNumber(id) || id == TOK_IDENTIFIER || id == TOK_LPAREN || id == TOK_MINUS || id == TOK_TILDE;
}
}  // namespace

CVornSyntaxDiagnosis::CVornSyntaxDiagnosis(const std::vector<std::unique_ptr<CParseRule>>& rules) : m_rules(&rules)
{
}

std::string CVornSyntaxDiagnosis::usage(const CParseRule& rule)
{
    std::string text = rule.m_name;
    std::size_t operand = 0;
    std::size_t sources = 0;
    for (std::size_t i = 1; i < rule.m_elems.size(); ++i) {
        const CParseRule::Element& element = rule.m_elems[i];
        if (element.kind == CParseRule::Literal) {
            text += ',';
            continue;
        }
        text += ' ';
        if (element.kind == CParseRule::Expression) {
            text += "target";
        } else if (operand < rule.m_operands.size() && rule.m_operands[operand].second == CStatement::Destination) {
            text += "Rd";
        } else {
            text += kSourceNames[std::min(sources++, std::size(kSourceNames) - 1)];
        }
        ++operand;
    }
    return text;
}

std::string CVornSyntaxDiagnosis::takes(const CParseRule& rule)
{
    std::size_t registers = 0;
    bool target = false;
    for (const CParseRule::Element& element : rule.m_elems) {
        registers += element.kind == CParseRule::Class ? 1 : 0;
        target = target || element.kind == CParseRule::Expression;
    }
    std::string what = target ? "a jump target (a label or a word address)"
                              : std::string(kCountWords[std::min(registers, std::size(kCountWords) - 1)]) +
                                    (registers == 1 ? " register" : " registers");
    return "'" + rule.m_name + "' takes " + what + ": " + usage(rule);
}

CVornSyntaxDiagnosis::Line CVornSyntaxDiagnosis::lexLine(std::string_view source, std::size_t offset) const
{
    Line line;
    line.base = std::min(offset, source.size());
    std::size_t lineEnd = source.find('\n', line.base);
    lineEnd = lineEnd == std::string_view::npos ? source.size() : lineEnd;
    line.source = source;
    line.end = lineEnd;
    // A lexer of its own, without diagnostics: explaining reports nothing.
    CFileBuffer text(source.substr(line.base, lineEnd - line.base));
    CVornLexer lexer;
    lexer.init(nullptr);
    lexer.m_input = &text;
    for (;;) {
        CToken token = lexer.next();
        if (endsStatement(token.m_id)) {
            line.end = line.base + token.m_offset;
            break;
        }
        line.tokens.push_back(std::move(token));
    }
    return line;
}

CDiagnosticMsgHandler::Detail CVornSyntaxDiagnosis::at(const Line& line, const CToken& token, std::string text)
{
    Detail detail;
    detail.text = std::move(text);
    detail.offset = line.base + token.m_offset;
    detail.length = std::max<std::size_t>(token.m_length, 1);
    return detail;
}

std::string CVornSyntaxDiagnosis::shown(const Line& line, const CToken& token)
{
    return std::string(line.source.substr(line.base + token.m_offset, token.m_length));
}

CDiagnosticMsgHandler::Detail CVornSyntaxDiagnosis::explain(std::string_view source, std::size_t offset,
                                                              int sectionKind) const
{
    const Line line = lexLine(source, offset);
    if (line.tokens.empty()) {
        Detail detail;
        detail.text = "syntax error";
        detail.offset = offset;
        return detail;
    }
    if (sectionKind == 0) {
        return at(line, line.tokens.front(),
                  "'" + shown(line, line.tokens.front()) + "' stands before any section: begin with '.text' or '.data'");
    }
    if (sectionKind == CSection::Code) {
        return explainInstruction(line);
    }
    return explainDataWord(line);
}

const CParseRule* CVornSyntaxDiagnosis::ruleFor(std::int32_t mnemonic) const
{
    for (const auto& rule : *m_rules) {
        if (!rule->m_elems.empty() && rule->m_elems.front().kind == CParseRule::Literal &&
            rule->m_elems.front().ids == std::vector<std::int32_t>{mnemonic}) {
            return rule.get();
        }
    }
    return nullptr;
}

CDiagnosticMsgHandler::Detail CVornSyntaxDiagnosis::explainInstruction(const Line& line) const
{
    const CToken& first = line.tokens.front();
    const std::string word = shown(line, first);
    if (first.m_id == TOK_IDENTIFIER) {
        std::vector<std::string> names;
        for (const auto& rule : *m_rules) {
            names.push_back(rule->m_name);
        }
        std::string text = "unknown instruction '" + word + "'";
        if (const std::string suggestion = CSpelling::closest(word, names); !suggestion.empty()) {
            text += "; did you mean '" + suggestion + "'?";
        }
        return at(line, first, text);
    }
    const CParseRule* rule = isMnemonic(first.m_id) ? ruleFor(first.m_id) : nullptr;
    if (rule == nullptr) {
        return at(line, first, "expected an instruction, found '" + word + "'");
    }
    return explainOperands(line, *rule);
}

CDiagnosticMsgHandler::Detail CVornSyntaxDiagnosis::explainOperands(const Line& line, const CParseRule& rule) const
{
    const std::vector<CToken>& tokens = line.tokens;
    std::size_t i = 1;
    for (std::size_t e = 1; e < rule.m_elems.size(); ++e) {
        const CParseRule::Element& element = rule.m_elems[e];
        if (i >= tokens.size()) {
            // The caret stands just behind the last token of the statement.
            Detail detail;
            detail.text = "missing operand: " + takes(rule);
            detail.offset = line.base + tokens.back().m_offset + tokens.back().m_length;
            return detail;
        }
        const CToken& token = tokens[i];
        const std::string found = shown(line, token);
        if (element.kind == CParseRule::Literal) {
            if (std::find(element.ids.begin(), element.ids.end(), token.m_id) == element.ids.end()) {
                return at(line, token, "expected ',' after '" + shown(line, tokens[i - 1]) + "', found '" + found + "'");
            }
        } else if (element.kind == CParseRule::Class) {
            if (!isRegister(token.m_id)) {
                const std::string what = isNumber(token.m_id) ? "the number '" + found + "'" : "'" + found + "'";
                return at(line, token, "expected a register R0 to R7, found " + what);
            }
        } else {
            if (isRegister(token.m_id)) {
                return at(line, token, "expected a jump target (a label or a word address), found the register '" +
                                           found + "'");
            }
            if (!mayStartExpression(token.m_id)) {
                return at(line, token, "expected a jump target (a label or a word address), found '" + found + "'");
            }
            // The expression runs to the end of the statement.
            const std::string_view rest =
                line.source.substr(line.base + token.m_offset, line.end - line.base - token.m_offset);
            Detail detail = at(line, token,
                               "expected a jump target (a label or a word address), found '" + std::string(rest) + "'");
            detail.length = rest.size();
            return detail;
        }
        ++i;
    }
    if (i < tokens.size()) {
        return at(line, tokens[i], "unexpected '" + shown(line, tokens[i]) + "' after the operands: " + takes(rule));
    }
    return at(line, tokens.front(), "syntax error: " + takes(rule));
}

CDiagnosticMsgHandler::Detail CVornSyntaxDiagnosis::explainDataWord(const Line& line) const
{
    for (const CToken& token : line.tokens) {
        if (isMnemonic(token.m_id) || isRegister(token.m_id)) {
            return at(line, token,
                      "expected a data word (a number, a label or an expression), found '" + shown(line, token) +
                          "': instructions belong in a '.text' section");
        }
    }
    return at(line, line.tokens.front(),
              "expected a data word (a number, a label or an expression), found '" +
                  std::string(line.source.substr(line.base, line.end - line.base)) + "'");
}
