#pragma once

#include <cstdint>

#include "asm/CDiagnosticMsgHandler.h"
#include "parser/CAsmParser.h"

class CSymbol;

// The Vorn parser: builds the Vorn lexer and the 21 instruction rules, then
// reads the preprocessed source statement by statement. Line markers keep
// the source file and line, labels define symbols, ".text" and ".data" open
// sections, and every other statement is an instruction (code section) or a
// data word (data section). A bad statement is reported as "Syntax error."
// and skipped, so every bad line is reported.
class CVornParser : public CAsmParser {
public:
    void init(CAsm* driver) override;
    void run() override;
    void finish() override;

private:
    // `first` is the id of the statement's first token, at `start`.
    bool tryStatement(std::int32_t start, std::int32_t first);
    bool parseStatement(std::int32_t start, std::int32_t first);
    bool parseLineMarker();
    bool parseLabel();
    bool parseDirective(std::int32_t first);
    bool parseInstruction(std::int32_t start, std::int32_t first);
    bool parseDataWord(std::int32_t start);
    // Newline, "__NEW_LINE__" or the end of input must follow a statement.
    void expectEndOfStatement();
    // Skips to the end of the statement, leaving the newline to the loop.
    void skipStatement();
    // Warns of a label defined a second time, with a note at the first.
    void warnRedefinition(const CSymbol& again) const;
    // Error 1304 for the statement being parsed.
    void reportSyntaxError();
    // What is wrong with the statement being parsed, for standard error.
    CDiagnosticMsgHandler::Detail explainStatement() const;
};
