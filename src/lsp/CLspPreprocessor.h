#pragma once

#include <functional>
#include <string>
#include <vector>

// An editor's buffer to preprocess: its text, the folder its file is in
// (where `#include "x.inc"` looks first) and the name the line markers give
// it, as the command line would from that folder.
struct CLspSource {
    std::string folder;
    std::string name;
    std::string text;
    std::vector<std::string> includePaths;
    std::vector<std::string> defines;
};

struct CLspPreprocessed {
    bool ok = false;
    std::string text;      // the preprocessed text
    std::string messages;  // what the preprocessor said ("file:line:col: error: ...")
};

// How the server preprocesses a buffer: cc1 for real, something plainer in
// tests and fuzzing.
using CLspPreprocess = std::function<CLspPreprocessed(const CLspSource&)>;

// Runs cc1 on unsaved text without writing anything: the text goes in and
// the output comes back through private unnamed files, and cc1 runs in the
// source's folder, so the line markers and messages name files as the
// command line run from there would.
class CLspPreprocessor {
public:
    // `cc1` as the command line finds it.
    explicit CLspPreprocessor(std::string cc1);

    CLspPreprocessed operator()(const CLspSource& source) const;

    // The argument vector for a source, cc1's path first.
    std::vector<std::string> arguments(const CLspSource& source) const;

private:
    std::string m_cc1;
};
