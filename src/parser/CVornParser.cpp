#include "parser/CVornParser.h"

#include <algorithm>
#include <array>

#include "core/CFileIndexMap.h"
#include "core/CParseError.h"
#include "core/CSection.h"
#include "core/CSectionTable.h"
#include "core/CSymbolTable.h"
#include "core/CVornOpcodeInfo.h"
#include "lexer/CVornLexer.h"
#include "util/CFileBuffer.h"
#include "util/CSpelling.h"

namespace {
constexpr int kSyntaxError = 1304;
constexpr int kSectionExpected = 1314;

struct RuleEntry {
    const char* def;
    const char* name;
    std::int32_t id;
    std::size_t operandCount;
    std::array<CParseRule::OperandShape, 3> operands;
};

constexpr CParseRule::OperandShape kDst{COperand::Register, CStatement::Destination};
constexpr CParseRule::OperandShape kSrc{COperand::Register, CStatement::Source};
constexpr CParseRule::OperandShape kExp{COperand::SymExp, CStatement::Source};

// Their definition strings are the instruction grammar:
//   op2  = "mov" | "not" | "inc" | "dec" | "shl" | "shr" | "ashl" | "ashr" | "ld" | "st"
//   op3  = "add" | "sub" | "and" | "or"
//   jump = "jmp" | "jmpz" | "jmps" | "jmpc" | "jmpnz" | "jmpns" | "jmpnc"
//   reg  = "r0" | "r1" | ... | "r7"    (kRegisterClass)
//   exp  = expr                         (see CExprParser)
// The instruction rules, tried in this order.
constexpr RuleEntry kRules[] = {
    {"mov reg, reg", "mov", 102, 2, {kDst, kSrc}},
    {"add reg, reg, reg", "add", 103, 3, {kDst, kSrc, kSrc}},
    {"sub reg, reg, reg", "sub", 104, 3, {kDst, kSrc, kSrc}},
    {"and reg, reg, reg", "and", 105, 3, {kDst, kSrc, kSrc}},
    {"or reg, reg, reg", "or", 106, 3, {kDst, kSrc, kSrc}},
    {"not reg, reg", "not", 107, 2, {kDst, kSrc}},
    {"inc reg, reg", "inc", 108, 2, {kDst, kSrc}},
    {"dec reg, reg", "dec", 109, 2, {kDst, kSrc}},
    {"shl reg, reg", "shl", 110, 2, {kDst, kSrc}},
    {"shr reg, reg", "shr", 111, 2, {kDst, kSrc}},
    {"ashl reg, reg", "ashl", 112, 2, {kDst, kSrc}},
    {"ashr reg, reg", "ashr", 113, 2, {kDst, kSrc}},
    {"jmp exp", "jmp", 114, 1, {kExp}},
    {"jmpz exp", "jmpz", 115, 1, {kExp}},
    {"jmps exp", "jmps", 116, 1, {kExp}},
    {"jmpc exp", "jmpc", 117, 1, {kExp}},
    {"jmpnz exp", "jmpnz", 118, 1, {kExp}},
    {"jmpns exp", "jmpns", 119, 1, {kExp}},
    {"jmpnc exp", "jmpnc", 120, 1, {kExp}},
    {"ld reg, reg", "ld", 121, 2, {kDst, kSrc}},
    {"st reg, reg", "st", 122, 2, {kSrc, kSrc}},
};

constexpr const char* kRegisterClass = "reg";

// What messages call the operands of the grammar.
constexpr const char* kRegisterExpected = "a register R0 to R7";
constexpr const char* kJumpTargetExpected = "a jump target (a label or a word address)";
constexpr const char* kDataWordExpected = "a data word (a number, a label or an expression)";
constexpr const char* kCountWords[] = {"no", "one", "two", "three", "four"};
constexpr const char* kSourceNames[] = {"Ra", "Rb", "Rc"};

const RuleEntry* ruleOf(std::int32_t statementId)
{
    for (const RuleEntry& entry : kRules) {
        if (entry.id == statementId) {
            return &entry;
        }
    }
    return nullptr;
}
constexpr const char* kDestinationName = "Rd";
constexpr const char* kTargetName = "target";

struct DirectiveEntry {
    std::int32_t token;
    const char* section;
    std::int32_t kind;
    std::int32_t origin;
    const char* memory;
};

constexpr DirectiveEntry kDirectives[] = {
    {TOK_TEXT, "main", CSection::Code, 0, "PM"},
    {TOK_DATA, "data", CSection::Data, 0, "XM"},
};

const DirectiveEntry* findDirective(std::int32_t token)
{
    for (const DirectiveEntry& entry : kDirectives) {
        if (entry.token == token) {
            return &entry;
        }
    }
    return nullptr;
}

bool endsStatement(std::int32_t id)
{
    return id == TOK_NEWLINE || id == TOK_SEPARATOR || id == TOK_END || id == TOK_COMMENT;
}

bool isNumber(std::int32_t id)
{
    return id == TOK_DEC_NUMBER || id == TOK_HEX_NUMBER;
}

std::string quoted(std::string_view text)
{
    return "'" + std::string(text) + "'";
}
}  // namespace

CVornParser::CVornParser(CDiagnosticMsgHandler& diagnostics, CFileIndexMap& files, CSymbolTable& symbols,
                         CSectionTable& sections, bool listing, bool debugDump)
    : CAsmParser(diagnostics, files, symbols, sections, listing, debugDump)
{
    m_lexer = std::make_unique<CVornLexer>();
    m_lexer->m_diag = &diagnostics;
    CTokenClass& registers = m_classes[kRegisterClass];
    for (std::int32_t id = TOK_R0; id <= TOK_R7; ++id) {
        registers.ids.push_back(id);
    }
    registers.expected = kRegisterExpected;
    m_expressionExpected = kJumpTargetExpected;
    for (const RuleEntry& entry : kRules) {
        std::vector<CParseRule::OperandShape> operands(entry.operands.begin(),
                                                      entry.operands.begin() + entry.operandCount);
        m_rules.push_back(std::make_unique<CParseRule>(entry.name, entry.def, std::move(operands), entry.id));
    }
    compileRules();
}

// program = (NEWLINE | "__NEW_LINE__" | statement)* EOF
// A statement that does not parse is reported and skipped up to its end.
void CVornParser::run(CFileBuffer& input, std::int32_t fileIndex)
{
    m_input = &input;
    m_fileIndex = fileIndex;
    m_lexer->start(&input);
    for (;;) {
        // Statements are never re-read once complete.
        m_lexer->releaseHistoryBefore(m_lexer->m_cursor);
        const CToken& token = m_lexer->next();
        const std::int32_t id = token.m_id;
        if (id == TOK_NEWLINE) {
            advanceLine();
            continue;
        }
        if (id == TOK_SEPARATOR) {
            continue;
        }
        if (id == TOK_END) {
            m_diag->check();
            return;
        }
        m_statementOffset = token.m_offset;
        m_lexer->unget();
        const std::int32_t start = m_lexer->m_cursor;
        m_statementStart = start;
        m_expectation = {};
        if (!tryStatement(start, id)) {
            m_diag->reportError(kSyntaxError, m_line, m_fileIndex, "", explainStatement());
            skipStatement();
            continue;
        }
        if (m_listing) {
            recordListing(start);
        }
    }
}

// statement, all or nothing: on failure no record of it stays queued.
bool CVornParser::tryStatement(std::int32_t start, std::int32_t first)
{
    try {
        if (parseStatement(start, first)) {
            return true;
        }
    } catch (const CParseError&) {
    }
    m_pending.clear();
    return false;
}

// statement = line-marker end | label | directive | instruction | data-word
// instruction in a code section, data-word in a data section; no section yet is error 1314.
bool CVornParser::parseStatement(std::int32_t start, std::int32_t first)
{
    // Each kind is tried only when the first token can begin it.
    if (first == TOK_LINE_MARKER && parseLineMarker()) {
        expectEndOfStatement(nullptr);
        if (m_debugDump) {
            m_diag->trace("PREPROCESSOR \n");
        }
        return true;
    }
    if (first == TOK_IDENTIFIER && parseLabel()) {
        if (m_debugDump) {
            m_diag->trace("LABEL: \n");
        }
        return true;
    }
    if (parseDirective(first)) {
        if (m_debugDump) {
            m_diag->trace(".directive \n");
        }
        return true;
    }
    if (m_section == nullptr) {
        m_diag->reportError(kSectionExpected, m_line, m_fileIndex, "", explainBeforeSection());
        throw CStop{};
    }
    if (m_section->m_kind == CSection::Code) {
        return parseInstruction(start, first);
    }
    return parseDataWord(start);
}

// line-marker = LINE_MARKER    (# 12 "file.s" flags, one token; its newline stays next)
bool CVornParser::parseLineMarker()
{
    const CToken& marker = m_lexer->next();
    if (marker.m_id != TOK_LINE_MARKER) {
        m_lexer->unget();
        return false;
    }
    // The newline that ends the marker's line brings the count to its number.
    m_line = marker.m_value - 1;
    // Pseudo-files such as "<built-in>" keep the current file.
    if (marker.m_text.empty() || marker.m_text.front() != '<') {
        m_fileIndex = m_files->getIndex(marker.m_text);
    }
    if (m_debugDump) {
        m_diag->trace("\nPreprocessor num is: " + std::to_string(marker.m_value) +
                      "\nPreprocessor string flag is: " + marker.m_text + "\n");
    }
    return true;
}

// label = IDENT ":"    (needs no end: an instruction may follow on its line)
bool CVornParser::parseLabel()
{
    const std::int32_t start = m_lexer->m_cursor;
    const CToken& name = m_lexer->next();
    if (name.m_id != TOK_IDENTIFIER || m_lexer->next().m_id != TOK_COLON) {
        m_lexer->m_cursor = start;
        return false;
    }
    // A label stands for the next cycle of its section; a second definition
    // of a name is dropped by the symbol table, with a warning.
    const CToken& label = tokenAt(start);
    CSymbol symbol;
    symbol.m_name = label.m_text;
    symbol.m_section = m_section;
    symbol.m_cycle = m_curCycle;
    symbol.m_line = m_line;
    symbol.m_fileIndex = m_fileIndex;
    symbol.m_offset = label.m_offset;
    if (!m_symbols->addSymbol(symbol)) {
        warnRedefinition(symbol);
    }
    if (m_debugDump) {
        m_diag->trace("\nLABEL: " + symbol.m_name + "\n");
    }
    return true;
}

void CVornParser::warnRedefinition(const CSymbol& again) const
{
    const CSymbol* first = m_symbols->find(again.m_name);
    if (first == nullptr || first->m_section == nullptr) {
        return;
    }
    m_diag->warn({"label '" + again.m_name + "' is defined again; this definition is ignored", again.m_offset,
                  again.m_name.size()});
    m_diag->note({"the first definition, which stays in force, is here", first->m_offset, first->m_name.size()});
}

// directive = (".text" | ".data") end
bool CVornParser::parseDirective(std::int32_t first)
{
    const DirectiveEntry* directive = findDirective(first);
    if (directive == nullptr) {
        return false;
    }
    m_lexer->next();
    expectEndOfStatement(nullptr);
    m_section = m_sections->addSection(directive->section, directive->kind, directive->origin, directive->memory);
    m_curCycle = 0;
    return true;
}

// instruction = (op2 reg "," reg | op3 reg "," reg "," reg | jump exp) end
// The first rule of kRules that matches wins.
bool CVornParser::parseInstruction(std::int32_t start, std::int32_t first)
{
    for (const std::unique_ptr<CParseRule>& rule : m_rules) {
        if (rule->canStartWith(first) && rule->tryMatch(*this)) {
            expectEndOfStatement(rule.get());
            closeStatement();
            return true;
        }
    }
    m_lexer->m_cursor = start;
    return false;
}

// data-word = exp ","?
// No end follows: the loop reads the next word or the newline.
bool CVornParser::parseDataWord(std::int32_t start)
{
    std::unique_ptr<CExpr> tree;
    if (!parseDataExpression(tree, start)) {
        return false;
    }
    auto operand = std::make_unique<CSymExpOperand>(std::move(tree));
    const CSpan span = spanBetween(start, m_lexer->m_cursor);
    operand->m_offset = span.offset;
    operand->m_length = span.length;
    auto statement = std::make_unique<CStatement>(CVornOpcodeInfo::kDataWordId);
    statement->reserveOperands(1);
    statement->addOperand(std::move(operand), CStatement::Source);
    // Queued before the separator is read: the word's place ends with its value.
    addStatement(std::move(statement));
    // Words may be separated by commas or simply follow each other.
    if (m_lexer->next().m_id != TOK_COMMA) {
        m_lexer->unget();
    }
    closeStatement();
    return true;
}

// end = NEWLINE | "__NEW_LINE__" | EOF    (EOF is left unread; a line comment scans as NEWLINE)
void CVornParser::expectEndOfStatement(const CParseRule* rule)
{
    const CToken& token = m_lexer->next();
    switch (token.m_id) {
    case TOK_NEWLINE:
        advanceLine();
        return;
    case TOK_SEPARATOR:
        return;
    case TOK_END:
        m_lexer->unget();
        return;
    default: {
        const std::int32_t reached = m_lexer->m_cursor - 1;
        noteExpectation({CExpectation::EndOfStatement, reached, rule, 0, reached});
        throw CParseError("ERROR_NL");
    }
    }
}

// skipped = (any token except NEWLINE, "__NEW_LINE__" or EOF)*
void CVornParser::skipStatement()
{
    for (;;) {
        const std::int32_t id = m_lexer->next().m_id;
        if (id == TOK_NEWLINE || id == TOK_SEPARATOR || id == TOK_END) {
            m_lexer->unget();
            return;
        }
    }
}

// The rule's definition with each operand named by its role.
std::string CVornParser::usageOf(std::int32_t statementId)
{
    const RuleEntry* entry = ruleOf(statementId);
    if (entry == nullptr) {
        return {};
    }
    std::string text = entry->name;
    std::size_t sources = 0;
    for (std::size_t operand = 0; operand < entry->operandCount; ++operand) {
        text += operand == 0 ? " " : ", ";
        const CParseRule::OperandShape& shape = entry->operands[operand];
        if (shape.first == COperand::SymExp) {
            text += kTargetName;
        } else if (shape.second == CStatement::Destination) {
            text += kDestinationName;
        } else {
            text += kSourceNames[std::min(sources++, std::size(kSourceNames) - 1)];
        }
    }
    return text;
}

std::string CVornParser::takes(const CParseRule& rule) const
{
    std::size_t registers = 0;
    bool target = false;
    for (const CParseRule::Element& element : rule.m_elems) {
        registers += element.kind == CParseRule::Class ? 1 : 0;
        target = target || element.kind == CParseRule::Expression;
    }
    const std::string what = target ? m_expressionExpected
                                    : std::string(kCountWords[std::min(registers, std::size(kCountWords) - 1)]) +
                                          (registers == 1 ? " register" : " registers");
    return quoted(rule.m_name) + " takes " + what + ": " + usageOf(rule.m_id);
}

const CToken& CVornParser::tokenAt(std::int32_t cursor) const
{
    return m_lexer->historyAt(static_cast<std::size_t>(cursor));
}

CVornParser::Detail CVornParser::at(std::int32_t cursor, std::string text) const
{
    const CToken& token = tokenAt(cursor);
    return {std::move(text), token.m_offset, std::max<std::size_t>(token.m_length, 1)};
}

std::vector<CToken> CVornParser::statementTokens(std::size_t offset) const
{
    const std::string_view text = m_input->text();
    std::size_t lineEnd = text.find('\n', offset);
    lineEnd = lineEnd == std::string_view::npos ? text.size() : lineEnd;
    // Read again on its own, so that reading reports nothing.
    CFileBuffer line(text.substr(offset, lineEnd - offset));
    CVornLexer lexer;
    lexer.m_tolerant = true;
    lexer.start(&line);
    std::vector<CToken> tokens;
    for (CToken token; lexer.scanToken(token), !endsStatement(token.m_id);) {
        tokens.push_back(token);
    }
    return tokens;
}

std::string_view CVornParser::restOfStatement(std::size_t offset, const std::vector<CToken>& tokens) const
{
    const std::size_t end = tokens.empty() ? 0 : tokens.back().m_offset + tokens.back().m_length;
    return m_input->text().substr(offset, end);
}

CVornParser::Detail CVornParser::explainStatement() const
{
    // A line marker or directive with more after it, in any section.
    if (m_expectation.what == CExpectation::EndOfStatement && m_expectation.rule == nullptr) {
        return explainInstruction();
    }
    if (m_section == nullptr) {
        return explainBeforeSection();
    }
    return m_section->m_kind == CSection::Code ? explainInstruction() : explainDataWord();
}

CVornParser::Detail CVornParser::explainBeforeSection() const
{
    return at(m_statementStart,
              quoted(spelled(tokenAt(m_statementStart))) + " stands before any section: begin with '.text' or '.data'");
}

CVornParser::Detail CVornParser::explainInstruction() const
{
    const CExpectation& expectation = m_expectation;
    const CToken& first = tokenAt(m_statementStart);
    switch (expectation.what) {
    case CExpectation::Nothing: {
        const std::string word(spelled(first));
        if (first.m_id != TOK_IDENTIFIER) {
            return at(m_statementStart, "expected an instruction, found " + quoted(word));
        }
        std::vector<std::string> names;
        for (const auto& rule : m_rules) {
            names.push_back(rule->m_name);
        }
        std::string text = "unknown instruction " + quoted(word);
        if (const std::string suggestion = CSpelling::closest(word, names); !suggestion.empty()) {
            text += "; did you mean " + quoted(suggestion) + "?";
        }
        return at(m_statementStart, text);
    }
    case CExpectation::EndOfStatement: {
        const std::string found = quoted(spelled(tokenAt(expectation.reached)));
        if (expectation.rule != nullptr) {
            return at(expectation.reached, "unexpected " + found + " after the operands: " + takes(*expectation.rule));
        }
        return at(expectation.reached, "unexpected " + found + " after " + quoted(spelled(first)));
    }
    case CExpectation::Element:
        break;
    }
    return explainElement(expectation);
}

CVornParser::Detail CVornParser::explainElement(const CExpectation& expectation) const
{
    const CParseRule& rule = *expectation.rule;
    const CParseRule::Element& element = rule.m_elems[expectation.element];
    const CToken& found = tokenAt(expectation.elementStart);
    const std::string written(spelled(found));
    if (endsStatement(found.m_id)) {
        // The caret stands just behind the last token of the statement.
        const CToken& last = tokenAt(std::max(expectation.elementStart - 1, m_statementStart));
        return {"missing operand: " + takes(rule), last.m_offset + last.m_length, 1};
    }
    switch (element.kind) {
    case CParseRule::Literal: {
        const CToken& before = tokenAt(std::max(expectation.elementStart - 1, m_statementStart));
        return at(expectation.elementStart, "expected " + quoted(element.name) + " after " +
                                                quoted(spelled(before)) + ", found " + quoted(written));
    }
    case CParseRule::Class: {
        const auto found_class = m_classes.find(element.name);
        const std::string expected = found_class != m_classes.end() ? found_class->second.expected : element.name;
        return at(expectation.elementStart,
                  "expected " + expected + ", found " + (isNumber(found.m_id) ? "the number " : "") + quoted(written));
    }
    default:
        break;
    }
    const std::string expected = "expected " + m_expressionExpected + ", found ";
    if (isRegisterToken(found.m_id)) {
        return at(expectation.elementStart, expected + "the register " + quoted(written));
    }
    if (!CExprParser::canBegin(found.m_id)) {
        return at(expectation.elementStart, expected + quoted(written));
    }
    // The expression runs to the end of the statement.
    const std::string_view rest = restOfStatement(found.m_offset, statementTokens(found.m_offset));
    return {expected + quoted(rest), found.m_offset, std::max<std::size_t>(rest.size(), 1)};
}

CVornParser::Detail CVornParser::explainDataWord() const
{
    const std::size_t start = m_statementOffset;
    const std::vector<CToken> tokens = statementTokens(start);
    const std::string_view rest = restOfStatement(start, tokens);
    // A word of an instruction says where it belongs.
    for (const CToken& token : tokens) {
        if (isMnemonicToken(token.m_id) || isRegisterToken(token.m_id)) {
            return {std::string("expected ") + kDataWordExpected + ", found " +
                        quoted(rest.substr(token.m_offset, token.m_length)) +
                        ": instructions belong in a '.text' section",
                    start + token.m_offset, token.m_length};
        }
    }
    return {std::string("expected ") + kDataWordExpected + ", found " + quoted(rest), start,
            std::max<std::size_t>(rest.size(), 1)};
}
