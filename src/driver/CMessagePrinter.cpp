#include "driver/CMessagePrinter.h"

#include <algorithm>
#include <ostream>

#include "driver/CToolMessage.h"
#include "util/TextLine.h"

namespace {
struct KindWords {
    const char* lead;
    const char* word;
};

// By CDiagnostic::Kind.
constexpr KindWords kKindWords[] = {
    {"Error in ", "error"},
    {"Warning in ", "warning"},
    {"Info in ", "info"},
};

constexpr const char* kNoteWord = "note";
// The source line and the caret line are indented by this much.
constexpr const char* kIndent = "    ";

const KindWords& wordsOf(int kind)
{
    return kKindWords[kind >= 0 && kind < 3 ? kind : 0];
}

std::string fileName(const std::vector<std::string>& files, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < files.size() ? files[static_cast<std::size_t>(index)]
                                                                        : std::string();
}
}  // namespace

CMessagePrinter::CMessagePrinter(std::ostream& out, std::ostream& err) : m_out(&out), m_err(&err) {}

void CMessagePrinter::print(const CAssemblyResult& result)
{
    for (const CReportItem& item : result.report) {
        if (item.diagnostic < 0) {
            *m_out << item.trace;
            continue;
        }
        const CDiagnostic& diagnostic = result.diagnostics[static_cast<std::size_t>(item.diagnostic)];
        if (diagnostic.numbered) {
            *m_out << format(diagnostic, result.files) << std::endl << std::endl;
        }
        m_out->flush();
        *m_err << formatDetail(diagnostic, result.files) << std::flush;
    }
    m_out->flush();
}

std::string CMessagePrinter::format(const CDiagnostic& diagnostic, const std::vector<std::string>& files)
{
    const KindWords& words = wordsOf(diagnostic.kind);
    std::string line = words.lead;
    if (diagnostic.fileIndex != -1) {
        line += '"' + fileName(files, diagnostic.fileIndex) + '"';
        if (diagnostic.line != -1) {
            line += ", line " + std::to_string(diagnostic.line) + ": ";
        }
    }
    line += words.word;
    if (diagnostic.code != -1) {
        line += " #" + std::to_string(diagnostic.code);
    }
    line += ": " + diagnostic.text;
    return line;
}

std::string CMessagePrinter::formatDetail(const CDiagnostic& diagnostic, const std::vector<std::string>& files)
{
    std::string text = formatAt(wordsOf(diagnostic.kind).word, diagnostic.pos, diagnostic.echo, diagnostic.detail,
                                files);
    for (const CDiagnosticNote& note : diagnostic.notes) {
        text += formatAt(kNoteWord, note.pos, note.echo, note.text, files);
    }
    return text;
}

// "file:line:col: kind: text", the line and the caret; "file:line: kind:
// text" where only the line is known; "rozedov: kind: text" where nothing is.
std::string CMessagePrinter::formatAt(const char* kind, const CSourcePos& pos, const std::string& echo,
                                      const std::string& rawText, const std::vector<std::string>& files)
{
    if (!pos.known()) {
        return CToolMessage::line(kind, rawText);
    }
    // Names and source text may hold any byte; every diagnostic stays on its lines.
    const std::string text = TextLine::oneLine(rawText);
    std::string name = TextLine::oneLine(fileName(files, pos.fileIndex));
    if (name.empty()) {
        name = "<unnamed>";
    }
    std::string out = name + ":" + std::to_string(pos.line) + ":";
    if (pos.column <= 0) {
        return out + " " + kind + ": " + text + "\n";
    }
    const std::string shown = TextLine::oneLine(echo);
    const auto column = static_cast<std::size_t>(pos.column - 1);
    out += std::to_string(pos.column) + ": " + kind + ": " + text + "\n" + kIndent + shown + "\n" + kIndent;
    // Tabs stay tabs, so the caret sits under the token however they are shown.
    for (std::size_t i = 0; i < column && i < shown.size(); ++i) {
        out += shown[i] == '\t' ? '\t' : ' ';
    }
    out += '^';
    const std::size_t room = shown.size() > column ? shown.size() - column : 1;
    out.append(std::min(std::max<std::size_t>(static_cast<std::size_t>(std::max(pos.length, 1)), 1), room) - 1, '~');
    return out + "\n";
}
