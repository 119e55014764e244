#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CAssemblyResult.h"
#include "core/CSourcePos.h"
#include "lsp/CLspPreprocessor.h"

// What the editor sets: include folders and defines, as -I and -D give them.
struct CLspSettings {
    std::vector<std::string> includePaths;
    std::vector<std::string> defines;
};

// One version of a document, assembled as the command line would assemble
// the file: the core's result with the preprocessor's own messages added,
// and the texts its positions count in.
struct CLspAnalysis {
    std::string uri;     // the document's address
    std::string folder;  // where its includes are looked up; absolute
    std::string name;    // its name in the line markers and messages
    CAssemblyResult result;
    CSourceTexts texts;  // the user's files by the names in result.files

    // Index of the document itself in result.files.
    static constexpr int kDocumentFile = 0;

    // The address of a file of the result: the document's own, or file://
    // for a file on disk; empty for the preprocessor's pseudo-files.
    std::string uriOf(int fileIndex) const;
    // The text a position in that file counts in; null when there is none.
    const std::string* textOf(int fileIndex) const;

    // Preprocesses and assembles `text`, the content of `uri`.
    static std::unique_ptr<CLspAnalysis> run(const std::string& uri, const std::string& text,
                                             const CLspSettings& settings, const CLspPreprocess& preprocess);
};
