#pragma once

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// Lines up labels, mnemonics, operands and comments in columns without
// changing a token: a label with its colon in a field of 8 characters (alone
// on its line it stays at the start), the mnemonic in one of 6, the operands
// in one of 16 and the comment after them, at column 30; a part longer than
// its field gets one blank after it. Operands keep their tokens, with one
// blank wherever there were blanks, none before a comma and one after it;
// data words and other statements start where mnemonics do. Directives start
// the line. A comment alone stays at the start of its line, or goes where
// mnemonics start, or to the comment column when it was that far in.
// Trailing blanks go, tabs become spaces (the layout is in columns, so
// options.insertSpaces is not followed; options.tabSize measures the tabs
// written). Lines the preprocessor joins or reads as one (preprocessor
// lines, block comments over several lines, a backslash at the end, a
// macro's arguments over several lines, a bare carriage return) are left as
// they are; lines with "__NEW_LINE__" or bytes no token begins with only
// lose their trailing blanks. One edit per line changed.
class CLspFormatter {
public:
    using json = nlohmann::json;

    static json formatting(const CLspDocument& document, const json& params);
};
