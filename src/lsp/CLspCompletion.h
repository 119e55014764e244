#pragma once

#include <nlohmann/json.hpp>

#include "lsp/CLspDocument.h"

// What may be typed at a place, decided by the tokens before it on its line:
// at the start of a statement (also after a label) mnemonics with their usage
// and bit pattern, and the directives; in a data section labels instead of
// mnemonics; after a register-taking mnemonic or a comma the registers; after
// a jump mnemonic the labels, with their word addresses. Each item replaces
// the word begun at the cursor; a word begun in capitals gets capitals.
class CLspCompletion {
public:
    using json = nlohmann::json;

    static json completion(const CLspDocument& document, const json& params);
};
