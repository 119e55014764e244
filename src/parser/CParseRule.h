#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CAsmParser;

// One grammar rule: a rule-definition string such as "add reg, reg, reg",
// compiled by the target's lexer into elements, and the operands that the
// statement record built on a match receives.
class CParseRule {
public:
    enum ElementKind : std::int32_t { Literal = 0, Class = 1, Expression = 2 };

    // Literal: exactly one token id; class: the class's ids; expression: none.
    // `name` is the literal as written, or the class's name.
    struct Element {
        std::int32_t kind = Literal;
        std::vector<std::int32_t> ids;
        std::string name;
    };

    // (operand kind, role) for each operand of the built record, in capture order.
    using OperandShape = std::pair<std::int32_t, std::int32_t>;

    CParseRule(std::string name, std::string def, std::vector<OperandShape> operands, std::int32_t id);
    virtual ~CParseRule() = default;

    // match, then verify, then on success build.
    virtual bool tryMatch(CAsmParser& parser);
    // Matches the elements at the cursor; on failure the cursor is back where
    // the attempt began and the parser knows how far it got.
    virtual bool match(CAsmParser& parser);
    // Semantic conditions of a derived rule; none here.
    virtual bool verify(CAsmParser& parser);
    // Builds the statement record from the captures and queues it.
    virtual void build(CAsmParser& parser);

    // Whether a match can begin with a token of this id (never for an unusable rule).
    bool canStartWith(std::int32_t tokenId) const;

    std::string m_name;
    std::string m_def;
    std::vector<Element> m_elems;
    std::vector<OperandShape> m_operands;
    std::int32_t m_id = 0;
    // Cleared when the definition names an unknown class; such a rule never matches.
    bool m_usable = true;

private:
    bool matchElement(CAsmParser& parser, const Element& element);
};
