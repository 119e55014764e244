#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

#include "lsp/CLspPreprocessor.h"

// The editor server driven by bytes, for its fuzz target and the replay of
// its findings: the bytes are read as a sequence of messages (documents
// opened, changed whole or in part, saved and closed; every request at any
// place; settings; raw bodies) handed to an in-process server one by one.
// Every request must get exactly one response carrying its id, every
// message the server sends must be a JSON object, and none may say that
// the server itself failed; otherwise FuzzPipeline::PropertyBroken is thrown.
class LspFuzzSession {
public:
    static void run(std::string_view bytes);

    // Whether a message the server sent says the server itself failed: an
    // internal-error answer, or a document's message of that kind.
    static bool isInternalError(const nlohmann::json& message);

    // A preprocessor that runs nothing: the text with a line marker naming
    // the document, as cc1 would give a text without directives.
    static CLspPreprocessed plainText(const CLspSource& source);
};
