#include "parser/CVornParser.h"

#include <array>
#include <iostream>

#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CFileIndexMap.h"
#include "asm/CSection.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbolTable.h"
#include "lexer/CVornLexer.h"
#include "lexer/CVornOpcodeInfo.h"
#include "parser/CParseError.h"
#include "parser/CVornSyntaxDiagnosis.h"
#include "asm/CDiagnosticMsgHandler.h"
#include "util/CProgramExit.h"

namespace {
constexpr int kSyntaxError = 1304;
constexpr int kSectionExpected = 1314;

struct RuleEntry {
    const char* def;
    const char* name;
    std::int32_t id;
    std::size_t operandCount;
    std::array<CParseRule::OperandSpec, 3> operands;
};

constexpr CParseRule::OperandSpec kDst{COperand::Register, CStatement::Destination};
constexpr CParseRule::OperandSpec kSrc{COperand::Register, CStatement::Source};
constexpr CParseRule::OperandSpec kExp{COperand::SymExp, CStatement::Source};

// Their definition strings are the instruction grammar:
//   op2  = "mov" | "not" | "inc" | "dec" | "shl" | "shr" | "ashl" | "ashr" | "ld" | "st"
//   op3  = "add" | "sub" | "and" | "or"
//   jump = "jmp" | "jmpz" | "jmps" | "jmpc" | "jmpnz" | "jmpns" | "jmpnc"
//   reg  = "r0" | "r1" | ... | "r7"    (the class set up in init)
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
}  // namespace

void CVornParser::init(CAsm* driver)
{
    CAsmParser::init(driver);
    auto lexer = std::make_unique<CVornLexer>();
    lexer->init(driver);
    m_lexer = std::move(lexer);

    std::vector<std::int32_t>& registers = m_classes["reg"];
    for (std::int32_t id = TOK_R0; id <= TOK_R7; ++id) {
        registers.push_back(id);
    }
    for (const RuleEntry& entry : kRules) {
        std::vector<CParseRule::OperandSpec> operands(entry.operands.begin(),
                                                      entry.operands.begin() + entry.operandCount);
        m_rules.push_back(std::make_unique<CParseRule>(entry.name, entry.def, std::move(operands), entry.id));
    }
    compileRules();
}

// program = (NEWLINE | "__NEW_LINE__" | statement)* EOF
// A statement that does not parse is reported and skipped up to its end.
void CVornParser::run()
{
    m_lexer->m_input = m_input;
    notePosition();
    for (;;) {
        // Statements are never re-read once complete.
        m_lexer->releaseHistoryBefore(m_lexer->m_cursor);
        const std::int32_t id = m_lexer->next().m_id;
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
        m_lexer->unget();
        const std::int32_t start = m_lexer->m_cursor;
        m_statementOffset = m_lexer->historyAt(static_cast<std::size_t>(start)).m_offset;
        if (!tryStatement(start, id)) {
            reportSyntaxError();
            skipStatement();
            continue;
        }
        if (m_listing) {
            recordListing(start);
        }
    }
}

void CVornParser::finish()
{
    if (m_lexer) {
        m_lexer->finish();
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
    // Records of a statement that failed after its rule matched are dropped.
    m_pending.clear();
    return false;
}

// statement = line-marker end | label | directive | instruction | data-word
// instruction in a code section, data-word in a data section; no section yet is error 1314.
bool CVornParser::parseStatement(std::int32_t start, std::int32_t first)
{
    // Each kind is tried only when the first token can begin it; the others
    // would fail at once without effect.
    if (first == TOK_LINE_MARKER && parseLineMarker()) {
        expectEndOfStatement();
        if (m_debugDump) {
            std::cout << "PREPROCESSOR \n";
        }
        return true;
    }
    if (first == TOK_IDENTIFIER && parseLabel()) {
        if (m_debugDump) {
            std::cout << "LABEL: \n";
        }
        return true;
    }
    if (parseDirective(first)) {
        if (m_debugDump) {
            std::cout << ".directive \n";
        }
        return true;
    }
    if (m_section == nullptr) {
        m_diag->reportError(kSectionExpected, m_line, m_fileIndex, "", explainStatement());
        CProgramExit::stop(1);
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
        m_fileIndex = m_common->m_fileIndexMap->getIndex(marker.m_text);
    }
    notePosition();
    if (m_debugDump) {
        std::cout << "\nPreprocessor num is: " << marker.m_value << "\nPreprocessor string flag is: " << marker.m_text
                  << '\n';
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
    CSymbol symbol;
    symbol.m_name = name.m_text;
    symbol.m_section = m_section;
    symbol.m_cycle = m_curCycle;
    symbol.m_line = m_line;
    symbol.m_fileIndex = m_fileIndex;
    symbol.m_offset = name.m_offset;
    if (!m_common->m_symbols->addSymbol(symbol)) {
        warnRedefinition(symbol);
    }
    if (m_debugDump) {
        std::cout << "\nLABEL: " << name.m_text << '\n';
    }
    return true;
}

void CVornParser::warnRedefinition(const CSymbol& again) const
{
    const CSymbol* first = m_common->m_symbols->find(again.m_name);
    if (first == nullptr || first->m_section == nullptr) {
        return;
    }
    CDiagnosticMsgHandler::Detail here;
    here.text = "label '" + again.m_name + "' is defined again; this definition is ignored";
    here.offset = again.m_offset;
    here.length = again.m_name.size();
    m_diag->warn(again.m_line, again.m_fileIndex, std::move(here));
    CDiagnosticMsgHandler::Detail there;
    there.text = "the first definition, which stays in force, is here";
    there.offset = first->m_offset;
    there.length = first->m_name.size();
    m_diag->note(first->m_line, first->m_fileIndex, std::move(there));
}

// directive = (".text" | ".data") end
bool CVornParser::parseDirective(std::int32_t first)
{
    const DirectiveEntry* directive = findDirective(first);
    if (directive == nullptr) {
        return false;
    }
    m_lexer->next();
    expectEndOfStatement();
    m_section = m_common->m_sections->addSection(directive->section, directive->kind, directive->origin,
                                                 directive->memory);
    m_curCycle = 0;
    return true;
}

// instruction = (op2 reg "," reg | op3 reg "," reg "," reg | jump exp) end
// The first rule of kRules that matches wins.
bool CVornParser::parseInstruction(std::int32_t start, std::int32_t first)
{
    for (CParseRule* rule : rulesStartingWith(first)) {
        if (rule->tryMatch(*this)) {
            expectEndOfStatement();
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
    // Words may be separated by commas or simply follow each other.
    if (m_lexer->next().m_id != TOK_COMMA) {
        m_lexer->unget();
    }
    auto statement = std::make_unique<CStatement>(CVornOpcodeInfo::kDataWordId);
    statement->reserveOperands(1);
    statement->addOperand(std::make_unique<CSymExpOperand>(std::move(tree)), CStatement::Source);
    addStatement(std::move(statement));
    closeStatement();
    return true;
}

// end = NEWLINE | "__NEW_LINE__" | EOF    (EOF is left unread; a line comment scans as NEWLINE)
void CVornParser::expectEndOfStatement()
{
    switch (m_lexer->next().m_id) {
    case TOK_NEWLINE:
        advanceLine();
        return;
    case TOK_SEPARATOR:
        return;
    case TOK_END:
        m_lexer->unget();
        return;
    default:
        throw CParseError("ERROR_NL");
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

void CVornParser::reportSyntaxError()
{
    m_diag->reportError(kSyntaxError, m_line, m_fileIndex, "", explainStatement());
}

CDiagnosticMsgHandler::Detail CVornParser::explainStatement() const
{
    if (m_input == nullptr) {
        return {};
    }
    const std::int32_t kind = m_section != nullptr ? m_section->m_kind : 0;
    return CVornSyntaxDiagnosis(m_rules).explain(m_input->text(), m_statementOffset, kind);
}
