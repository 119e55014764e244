#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "asm/CProgramModule.h"
#include "parser/CExpr.h"
#include "parser/CExprParser.h"
#include "parser/CParseRule.h"

class CDiagnosticMsgHandler;
class CFileBuffer;
class CLexer;

// The generic rule-driven parser: its lexer, the current source position,
// the grammar rules (compiled by the lexer from their definition strings),
// the captures of the current rule attempt, and expression parsing.
class CParser : public CProgramModule {
public:
    CParser();
    ~CParser() override;

    // Takes the shared modules and caches the diagnostics and debug-dump flag.
    void init(CAsm* driver) override;
    // Sets the lexer's cursor back to the start of the current rule attempt.
    virtual void rewind();

    // Compiles every rule's definition string into elements.
    void compileRules();
    // The rules, in table order, whose match can begin with a token of that id.
    const std::vector<CParseRule*>& rulesStartingWith(std::int32_t tokenId) const;

    // One token whose id is in the list; captures its text into m_strs.
    bool matchClass(const std::vector<std::int32_t>& ids);
    // An expression as a rule element; on failure back to m_ruleStart.
    bool matchExpression(std::unique_ptr<CExpr>& tree);
    // An expression as a data word; on failure back to `fallback`.
    bool parseDataExpression(std::unique_ptr<CExpr>& tree, std::int32_t fallback);
    // Parses one expression at the cursor and checks it by evaluation
    // (message 1312 when it combines symbols wrongly).
    bool parseExpression(std::unique_ptr<CExpr>& tree, double& value, std::string& symbol);

    std::unique_ptr<CLexer> m_lexer;
    CFileBuffer* m_input = nullptr;
    CDiagnosticMsgHandler* m_diag = nullptr;
    std::int32_t m_fileIndex = 0;
    std::int32_t m_line = 0;
    std::map<std::string, std::vector<std::int32_t>> m_classes;
    std::vector<std::unique_ptr<CParseRule>> m_rules;
    std::int32_t m_ruleStart = -1;
    std::vector<std::string> m_strs;
    std::vector<std::unique_ptr<CExpr>> m_exps;
    bool m_debugDump = false;

protected:
    // Counts one source line (saturating, a line marker may start near the limit).
    void advanceLine();
    // Tells the diagnostics where the parse is, for the lexer's reports.
    void notePosition();

private:
    void compileRule(CParseRule& rule);
    void indexRules();

    CExprParser m_exprParser;
    // Rules by the id of the token they can begin with; m_rulesForAnyToken
    // serves ids beyond the table (rules without elements).
    std::vector<std::vector<CParseRule*>> m_rulesByFirstToken;
    std::vector<CParseRule*> m_rulesForAnyToken;
};
