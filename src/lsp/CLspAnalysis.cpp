#include "lsp/CLspAnalysis.h"

#include <unistd.h>

#include <charconv>
#include <climits>
#include <exception>
#include <new>
#include <string_view>

#include "driver/CFileReader.h"
#include "driver/CPathName.h"
#include "emitter/CAssembler.h"
#include "lexer/CSourceMap.h"
#include "lsp/CLspError.h"
#include "lsp/CLspText.h"

namespace {
// The name an editor's buffer goes by when it is no file.
constexpr const char* kUnsavedName = "unsaved.s";
// What the document shows when the assembler could not finish on it.
constexpr std::string_view kOutOfMemory = "out of memory: the text was not assembled";

struct KindWord {
    std::string_view word;
    int kind;
};

// The kinds of the preprocessor's messages, by the word after the place.
constexpr KindWord kMessageKinds[] = {
    {"fatal error", CDiagnostic::Error},
    {"error", CDiagnostic::Error},
    {"warning", CDiagnostic::Warning},
    {"note", CDiagnostic::Info},
};

std::string currentFolder()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string("/");
}

bool isPseudoFile(std::string_view name)
{
    return name.empty() || name.front() == '<';
}

std::string absoluteIn(const std::string& folder, const std::string& name)
{
    return !name.empty() && name.front() == '/' ? name : CPathName::join(folder, name);
}

// Splits "place: kind: text" after the place; false for a line of another form.
bool splitKind(std::string_view rest, int& kind, std::string& text)
{
    for (const KindWord& entry : kMessageKinds) {
        if (rest.substr(0, entry.word.size()) == entry.word && rest.substr(entry.word.size(), 2) == ": ") {
            kind = entry.kind;
            text = std::string(rest.substr(entry.word.size() + 2));
            return true;
        }
    }
    return false;
}

int readNumber(std::string_view& text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) {
        return -1;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

int fileIndexOf(std::vector<std::string>& files, const std::string& name)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i] == name) {
            return static_cast<int>(i);
        }
    }
    files.push_back(name);
    return static_cast<int>(files.size() - 1);
}

// One line the preprocessor wrote: "file:line:col: kind: text", "file:line:
// kind: text" or "program: kind: text"; false for other lines.
bool parseMessage(std::string_view line, std::vector<std::string>& files, CDiagnostic& diagnostic)
{
    diagnostic = {};
    diagnostic.numbered = false;
    for (std::size_t colon = line.find(':'); colon != std::string_view::npos; colon = line.find(':', colon + 1)) {
        std::string_view rest = line.substr(colon + 1);
        const std::string name(line.substr(0, colon));
        if (rest.substr(0, 1) == " " && splitKind(rest.substr(1), diagnostic.kind, diagnostic.detail)) {
            return true;  // no place
        }
        const int number = readNumber(rest);
        if (number <= 0 || rest.substr(0, 1) != ":") {
            continue;
        }
        rest.remove_prefix(1);
        int column = 0;
        if (std::string_view digits = rest; (column = readNumber(digits)) > 0 && digits.substr(0, 1) == ":") {
            rest = digits.substr(1);
        } else {
            column = 0;
        }
        if (rest.substr(0, 1) == " " && splitKind(rest.substr(1), diagnostic.kind, diagnostic.detail)) {
            diagnostic.pos = {fileIndexOf(files, name), number, column, 0};
            return true;
        }
    }
    return false;
}

// The preprocessor's messages as diagnostics.
void addPreprocessorMessages(const std::string& messages, CAssemblyResult& result)
{
    std::size_t start = 0;
    while (start < messages.size()) {
        std::size_t end = messages.find('\n', start);
        end = end == std::string::npos ? messages.size() : end;
        CDiagnostic diagnostic;
        if (parseMessage(std::string_view(messages).substr(start, end - start), result.files, diagnostic)) {
            if (diagnostic.kind == CDiagnostic::Info && !result.diagnostics.empty()) {
                result.diagnostics.back().notes.push_back({diagnostic.pos, diagnostic.detail, {}, {}});
            } else {
                result.diagnostics.push_back(std::move(diagnostic));
            }
        }
        start = end + 1;
    }
}

// The user's files the preprocessed text names, read from disk; the
// document's own text from the editor.
CSourceTexts readTexts(const CLspAnalysis& analysis, const std::string& text, const std::string& preprocessed)
{
    CSourceTexts texts;
    texts.emplace(analysis.name, text);
    for (const std::string& name : CSourceMap::markedFiles(preprocessed)) {
        std::string content;
        std::error_code error;
        if (!isPseudoFile(name) && texts.count(name) == 0 &&
            CFileReader::read(absoluteIn(analysis.folder, name), content, error)) {
            texts.emplace(name, std::move(content));
        }
    }
    return texts;
}

// A result with no words and no labels: the document's text only.
void stopWithoutWords(CLspAnalysis& analysis, const std::string& text)
{
    analysis.result = {};
    analysis.texts.clear();
    analysis.texts.emplace(analysis.name, text);
    analysis.result.files.push_back(analysis.name);
    analysis.result.stage = CAssemblyResult::Stage::Parse;
}

// The preprocessor's run on the source, then the core's on its output.
void preprocessAndAssemble(CLspAnalysis& analysis, const CLspSource& source, const CLspPreprocess& preprocess)
{
    CLspPreprocessed preprocessed = preprocess(source);
    if (preprocessed.ok) {
        analysis.texts = readTexts(analysis, source.text, preprocessed.text);
        CAssemblyOptions options;
        // Every statement's mistakes at once, as far as none depends on an address.
        options.labelChecksPastParseErrors = true;
        analysis.result =
            CAssembler::assemble(std::move(preprocessed.text), analysis.name, analysis.texts, options);
    } else {
        stopWithoutWords(analysis, source.text);
    }
    addPreprocessorMessages(preprocessed.messages, analysis.result);
}

std::vector<std::string> absolutePaths(const std::vector<std::string>& paths)
{
    const std::string here = currentFolder();
    std::vector<std::string> absolute;
    for (const std::string& path : paths) {
        absolute.push_back(absoluteIn(here, path));
    }
    return absolute;
}
}  // namespace

std::string CLspAnalysis::uriOf(int fileIndex) const
{
    if (fileIndex < 0 || static_cast<std::size_t>(fileIndex) >= result.files.size()) {
        return {};
    }
    const std::string& name = result.files[static_cast<std::size_t>(fileIndex)];
    if (name == this->name) {
        return uri;
    }
    return isPseudoFile(name) ? std::string() : CLspUri::fromPath(absoluteIn(folder, name));
}

const std::string* CLspAnalysis::textOf(int fileIndex) const
{
    if (fileIndex < 0 || static_cast<std::size_t>(fileIndex) >= result.files.size()) {
        return nullptr;
    }
    const auto found = texts.find(result.files[static_cast<std::size_t>(fileIndex)]);
    return found != texts.end() ? &found->second : nullptr;
}

// analysis = place the document, preprocess, read its files, assemble
std::unique_ptr<CLspAnalysis> CLspAnalysis::run(const std::string& uri, const std::string& text,
                                                const CLspSettings& settings, const CLspPreprocess& preprocess)
{
    auto analysis = std::make_unique<CLspAnalysis>();
    analysis->uri = uri;
    const std::string path = CLspUri::toPath(uri);
    analysis->folder = path.empty() ? currentFolder() : CPathName::folderOf(path);
    if (analysis->folder.empty() || analysis->folder.front() != '/') {
        analysis->folder = absoluteIn(currentFolder(), analysis->folder);
    }
    analysis->name = path.empty() ? kUnsavedName : CPathName::baseName(path);

    const CLspSource source{analysis->folder, analysis->name, text, absolutePaths(settings.includePaths),
                            settings.defines};
    try {
        preprocessAndAssemble(*analysis, source, preprocess);
    } catch (const std::exception& error) {
        // The document shows why it has no words, and the server goes on.
        const bool memory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
        stopWithoutWords(*analysis, text);
        CDiagnostic failed;
        failed.numbered = false;
        failed.detail = memory ? std::string(kOutOfMemory) : std::string(CLspError::kInternalErrorText) + error.what();
        analysis->result.diagnostics.push_back(std::move(failed));
    }
    return analysis;
}
