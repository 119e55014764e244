#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A piece of a document as the user wrote it, before the preprocessor: what
// the editor colours, completes, hovers over and lines up.
struct CLspToken {
    enum Kind {
        Mnemonic,      // an instruction's name
        Register,      // R0 to R7
        Directive,     // .text, .data
        Label,         // a label's definition (the name before ':')
        Identifier,    // any other name: a label's use, a macro
        Number,
        Operator,      // ':', ',' and the operators of expressions
        Comment,       // one line's part of a comment
        Preprocessor,  // a line that starts with '#', whole
        Unknown,       // a byte no token starts with
    };

    Kind kind = Unknown;
    std::size_t line = 0;    // 0-based
    std::size_t column = 0;  // 0-based byte column
    std::size_t length = 0;  // bytes
    std::int32_t id = 0;     // the lexer's token id (0 for comments and preprocessor lines)
    std::string text;        // as the lexer reads it ("MOV" for "Mov")

    std::size_t end() const { return column + length; }
};

// Scans a whole document with the assembler's own lexer, line by line, so
// that every token carries the line and byte column it stands at. A comment
// that spans lines gives one token per line.
class CLspTokens {
public:
    static std::vector<CLspToken> scan(std::string_view text);

    // The token of `line` that holds byte `column` (or ends there); null for none.
    static const CLspToken* at(const std::vector<CLspToken>& tokens, std::size_t line, std::size_t column);
    // The tokens of one line, in order.
    static std::vector<const CLspToken*> onLine(const std::vector<CLspToken>& tokens, std::size_t line);

    // Whether `name` is written as a label may be: a name the lexer reads
    // as an identifier, not a mnemonic, register or directive.
    static bool isLabelName(std::string_view name);
    // The statement id of the instruction a mnemonic's token id names: both
    // count the instructions in the same order.
    static std::int32_t statementIdOf(std::int32_t mnemonicId);
};
