#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/CDiagnosticMsgHandler.h"
#include "parser/CAsmParser.h"

class CSymbol;

// The Vorn parser: builds the Vorn lexer and the 21 instruction rules, then
// reads the preprocessed source statement by statement. Line markers keep
// the source file and line, labels define symbols, ".text" and ".data" open
// sections, and every other statement is an instruction (code section) or a
// data word (data section). A bad statement is reported as "Syntax error."
// and skipped, so every bad line is reported; standard error says what the
// rule expected where the statement went wrong.
class CVornParser : public CAsmParser {
public:
    CVornParser(CDiagnosticMsgHandler& diagnostics, CFileIndexMap& files, CSymbolTable& symbols,
                CSectionTable& sections, bool listing, bool debugDump);

    // program = (NEWLINE | "__NEW_LINE__" | statement)* EOF, then the check
    // after the parse. `fileIndex` is the source file's.
    void run(CFileBuffer& input, std::int32_t fileIndex);

    // How an instruction is written, its operands named by role: "add Rd,
    // Ra, Rb"; empty for an id that is no instruction.
    static std::string usageOf(std::int32_t statementId);
    // What the rule takes: "'add' takes three registers: add Rd, Ra, Rb".
    std::string takes(const CParseRule& rule) const;

private:
    using Detail = CDiagnosticMsgHandler::Detail;

    bool tryStatement(std::int32_t start, std::int32_t first);
    bool parseStatement(std::int32_t start, std::int32_t first);
    bool parseLineMarker();
    bool parseLabel();
    bool parseDirective(std::int32_t first);
    bool parseInstruction(std::int32_t start, std::int32_t first);
    bool parseDataWord(std::int32_t start);
    // Newline, "__NEW_LINE__" or the end of input must follow a statement.
    void expectEndOfStatement(const CParseRule* rule);
    // Skips to the end of the statement, leaving the newline to the loop.
    void skipStatement();
    // Warns of a label defined a second time, with a note at the first.
    void warnRedefinition(const CSymbol& again) const;

    // What is wrong with the statement being parsed, for standard error.
    Detail explainStatement() const;
    Detail explainBeforeSection() const;
    Detail explainInstruction() const;
    Detail explainElement(const CExpectation& expectation) const;
    Detail explainDataWord() const;
    // A detail with the caret under the token at `cursor`.
    Detail at(std::int32_t cursor, std::string text) const;
    const CToken& tokenAt(std::int32_t cursor) const;
    // The tokens of the statement from `offset` on, read again without
    // reporting (their offsets count from `offset`).
    std::vector<CToken> statementTokens(std::size_t offset) const;
    // The statement from `offset` on, as written: up to its last token.
    std::string_view restOfStatement(std::size_t offset, const std::vector<CToken>& tokens) const;
};
