#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "parser/CParser.h"
#include "parser/CStatement.h"

class CSection;
struct CToken;

// The assembler parser: the current section and cycle, statements queued
// until their statement closes, and the listing text of each statement.
class CAsmParser : public CParser {
public:
    CAsmParser();
    ~CAsmParser() override;

    // Also caches the listing option.
    void init(CAsm* driver) override;

    // Stamps the record with the current cycle, line and file and queues it.
    void addStatement(std::unique_ptr<CStatement> statement);
    // Hands the queued records to the current section as one cycle.
    void closeStatement();

    // Appends the listing text of the tokens from `first` to the cursor; once
    // a statement has closed, the gathered text becomes a listing line.
    void recordListing(std::int32_t first);
    // Listing text of tokens: each token's text and a blank, newlines as "\n".
    static std::string tokensToText(const std::vector<CToken>& tokens);
    static void appendTokenText(std::string& text, const CToken& token);

    CSection* m_section = nullptr;
    std::string m_lstText;
    std::int32_t m_curCycle = 0;
    bool m_lstPending = false;
    std::vector<std::unique_ptr<CStatement>> m_pending;
    bool m_listing = false;
    // Where the statement being parsed begins in the input.
    std::size_t m_statementOffset = 0;
};
