#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "asm/CDiagnosticMsgHandler.h"
#include "lexer/CToken.h"
#include "parser/CParseRule.h"

// Says, in the student's terms, why a statement did not parse: which token
// is wrong, what was expected there and what was found. It reads the
// statement's line again with a lexer of its own, so explaining changes
// nothing in the parse.
class CVornSyntaxDiagnosis {
public:
    explicit CVornSyntaxDiagnosis(const std::vector<std::unique_ptr<CParseRule>>& rules);

    // The detail for a statement that begins at `offset` of `source` and
    // failed in a section of kind `sectionKind` (0: no section yet).
    CDiagnosticMsgHandler::Detail explain(std::string_view source, std::size_t offset, int sectionKind) const;

    // How the rule is written, its operands named by role: "add Rd, Ra, Rb".
    static std::string usage(const CParseRule& rule);
    // What the rule takes: "'add' takes three registers: add Rd, Ra, Rb".
    static std::string takes(const CParseRule& rule);

private:
    struct Line {
        std::string_view source;
        std::size_t base = 0;
        std::vector<CToken> tokens;  // up to the end of the statement
        std::size_t end = 0;         // where the statement ends in source
    };

    Line lexLine(std::string_view source, std::size_t offset) const;
    CDiagnosticMsgHandler::Detail explainInstruction(const Line& line) const;
    CDiagnosticMsgHandler::Detail explainOperands(const Line& line, const CParseRule& rule) const;
    CDiagnosticMsgHandler::Detail explainDataWord(const Line& line) const;
    const CParseRule* ruleFor(std::int32_t mnemonic) const;

    static CDiagnosticMsgHandler::Detail at(const Line& line, const CToken& token, std::string text);
    static std::string shown(const Line& line, const CToken& token);

    const std::vector<std::unique_ptr<CParseRule>>* m_rules;
};
