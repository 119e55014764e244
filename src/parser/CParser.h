#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/CExpr.h"
#include "parser/CExprParser.h"
#include "parser/CParseRule.h"

class CDiagnosticMsgHandler;
class CFileBuffer;
class CFileIndexMap;
class CLexer;
struct CToken;

// A class of tokens usable in rule-definition strings, and how messages
// name what it expects ("a register R0 to R7").
struct CTokenClass {
    std::vector<std::int32_t> ids;
    std::string expected;
};

// Where a statement failed: the furthest token a rule reached and what the
// rule expected there.
struct CExpectation {
    enum What { Nothing, Element, EndOfStatement };
    What what = Nothing;
    std::int32_t reached = -1;       // cursor of the token that did not fit
    const CParseRule* rule = nullptr;
    std::size_t element = 0;
    std::int32_t elementStart = -1;  // cursor where the element began
};

// The place of a captured piece in the preprocessed text.
struct CSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
};

// The generic rule-driven parser: its lexer, the current source position,
// the grammar rules (compiled by the lexer from their definition strings),
// the captures of the current rule attempt, and expression parsing.
class CParser {
public:
    CParser(CDiagnosticMsgHandler& diagnostics, CFileIndexMap& files, bool debugDump);
    virtual ~CParser();

    // Sets the lexer's cursor back to the start of the current rule attempt.
    virtual void rewind();

    // Compiles every rule's definition string into elements.
    void compileRules();
    // The rules, in table order, whose match can begin with a token of that id.
    std::vector<CParseRule*> rulesStartingWith(std::int32_t tokenId) const;

    // One token whose id is in the list; captures its text into m_strs.
    bool matchClass(const std::vector<std::int32_t>& ids);
    // An expression as a rule element; on failure back to m_ruleStart.
    bool matchExpression(std::unique_ptr<CExpr>& tree);
    // An expression as a data word; on failure back to `fallback`.
    bool parseDataExpression(std::unique_ptr<CExpr>& tree, std::int32_t fallback);
    // Parses one expression at the cursor and checks it by evaluation
    // (message 1312 when it combines symbols wrongly).
    bool parseExpression(std::unique_ptr<CExpr>& tree, double& value, std::string& symbol);

    // Keeps `expectation` when it reached further than the one kept.
    void noteExpectation(const CExpectation& expectation);
    // The bytes of a token as written in the input.
    std::string_view spelled(const CToken& token) const;
    // The place from the token at cursor `first` to the end of the token before `end`.
    CSpan spanBetween(std::int32_t first, std::int32_t end) const;

    std::unique_ptr<CLexer> m_lexer;
    CFileBuffer* m_input = nullptr;
    CDiagnosticMsgHandler* m_diag;
    CFileIndexMap* m_files;
    std::int32_t m_fileIndex = 0;
    std::int32_t m_line = 0;
    std::map<std::string, CTokenClass> m_classes;
    // How messages name what an expression element expects.
    std::string m_expressionExpected = "an expression";
    std::vector<std::unique_ptr<CParseRule>> m_rules;
    std::int32_t m_ruleStart = -1;
    std::vector<std::string> m_strs;
    std::vector<std::unique_ptr<CExpr>> m_exps;
    std::vector<CSpan> m_strSpans;  // the places of the captures
    std::vector<CSpan> m_expSpans;
    CExpectation m_expectation;     // of the statement being parsed
    bool m_debugDump;

protected:
    // Counts one source line (saturating, a line marker may start near the limit).
    void advanceLine();

private:
    void compileRule(CParseRule& rule);

    CExprParser m_exprParser;
};
