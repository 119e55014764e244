#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/CStatement.h"
#include "parser/CParser.h"

class CSection;
class CSectionTable;
class CSymbolTable;
struct CToken;

// The assembler parser: the current section and cycle, statements queued
// until their statement closes, and the listing text of each statement.
class CAsmParser : public CParser {
public:
    CAsmParser(CDiagnosticMsgHandler& diagnostics, CFileIndexMap& files, CSymbolTable& symbols,
               CSectionTable& sections, bool listing, bool debugDump);
    ~CAsmParser() override;

    // Stamps the record with the current cycle, line, file and place and queues it.
    void addStatement(std::unique_ptr<CStatement> statement);
    // Hands the queued records to the current section as one cycle.
    void closeStatement();

    // Appends the listing text of the tokens from `first` to the cursor; once
    // a statement has closed, the gathered text becomes a listing line.
    void recordListing(std::int32_t first);
    // Listing text of tokens: each token's text and a blank, newlines as "\n".
    static std::string tokensToText(const std::vector<CToken>& tokens);
    static void appendTokenText(std::string& text, const CToken& token);

    // Guards the agreement of a rule's operand list with its captures: when
    // it fails, says so as the program always has and stops the run.
    void requireConsistent(bool condition, const char* text, int line) const;

    CSymbolTable* m_symbols;
    CSectionTable* m_sections;
    CSection* m_section = nullptr;
    std::string m_lstText;
    std::int32_t m_curCycle = 0;
    bool m_lstPending = false;
    std::vector<std::unique_ptr<CStatement>> m_pending;
    bool m_listing;
    // Where the statement being parsed begins: its first token's cursor and offset.
    std::int32_t m_statementStart = 0;
    std::size_t m_statementOffset = 0;

protected:
    // Prints the text on standard output and stops the run.
    [[noreturn]] void stop(const std::string& text) const;
};
