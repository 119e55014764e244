#include "asm/CDiagnosticMsgHandler.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <string_view>

#include "asm/CCommonModules.h"
#include "asm/CFileIndexMap.h"
#include "util/CProgramExit.h"
#include "util/CToolMessage.h"

namespace {
struct MessageEntry {
    int kind;
    int code;
    const char* text;
};

constexpr MessageEntry kMessages[] = {
    {CDiagnosticMsgHandler::Error, 1300, "Some error"},
    {CDiagnosticMsgHandler::Error, 1301, "Could not assemble."},
    {CDiagnosticMsgHandler::Error, 1302, "Could not assemble. Missing separator."},
    {CDiagnosticMsgHandler::Error, 1303, "Could not assemble. Garbage after instruction."},
    {CDiagnosticMsgHandler::Error, 1304, "Syntax error."},
    {CDiagnosticMsgHandler::Error, 1305, "Unrecognized token."},
    {CDiagnosticMsgHandler::Error, 1306, "This instr must go with ##"},
    {CDiagnosticMsgHandler::Error, 1307, "This instr must go with ::"},
    {CDiagnosticMsgHandler::Error, 1308, "Expecting M2 instr."},
    {CDiagnosticMsgHandler::Error, 1309, "Expecting M1 or M2 instr."},
    {CDiagnosticMsgHandler::Error, 1310, "Expecting AL2 instr."},
    {CDiagnosticMsgHandler::Error, 1311, "Unpaired left parenthesis (."},
    {CDiagnosticMsgHandler::Error, 1312, "Wrong symbol usage in the expression."},
    {CDiagnosticMsgHandler::Error, 1313, "Expression defining address of a section must not use symbols."},
    {CDiagnosticMsgHandler::Error, 1314, "Syntax error. Section definition expected."},
    {CDiagnosticMsgHandler::Error, 1315, "Referencing undefined symbol %s."},
    {CDiagnosticMsgHandler::Error, 1316, "Failed to open output file %s."},
    {CDiagnosticMsgHandler::Error, 1317, "Illegal instruction (resource conflict)."},
    {CDiagnosticMsgHandler::Error, 1318, "Invalid delay-slot instruction."},
    {CDiagnosticMsgHandler::Error, 1319, "Invalid end of loop address."},
    {CDiagnosticMsgHandler::Error, 1320,
     "Conditional move can not accept an accumulator as source and a register as destination."},
    {CDiagnosticMsgHandler::Warning, 4000, "Some warning."},
    {CDiagnosticMsgHandler::Warning, 1, "Some is bad in opcode"},
    {CDiagnosticMsgHandler::Warning, 2, "Some is bad in opcode sizes"},
    {CDiagnosticMsgHandler::Info, 7000, "Some info."},
};

struct KindWords {
    const char* lead;
    const char* word;
};

constexpr KindWords kKindWords[] = {
    {"Error in ", "error"},
    {"Warning in ", "warning"},
    {"Info in ", "info"},
};

std::string_view tableText(int kind, int code)
{
    for (const MessageEntry& entry : kMessages) {
        if (entry.kind == kind && entry.code == code) {
            return entry.text;
        }
    }
    return {};
}

// printf-style substitution of the one string argument: "%s" takes the
// parameter whole, "%%" is a percent sign.
std::string substitute(std::string_view format, const std::string& param)
{
    std::string result;
    result.reserve(format.size() + param.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == '%')) {
            result += format[i + 1] == 's' ? std::string_view(param) : std::string_view("%");
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}
}  // namespace

std::string CDiagnosticMsgHandler::messageText(int kind, int code, const std::string& param)
{
    return substitute(tableText(kind, code), param);
}

void CDiagnosticMsgHandler::reportError(int code, int line, int fileIndex, const std::string& param)
{
    reportError(code, line, fileIndex, param, Detail{});
}

void CDiagnosticMsgHandler::reportError(int code, int line, int fileIndex, const std::string& param, Detail detail)
{
    // A detail in the source without a position of its own is where the parse is.
    if (detail.offset != kNoOffset && detail.line == -1 && detail.fileIndex == -1 && line == -1) {
        detail.line = m_positionLine;
        detail.fileIndex = m_positionFile;
    }
    report({Error, code, line, fileIndex, messageText(Error, code, param), std::move(detail)});
}

void CDiagnosticMsgHandler::reportWarning(int code, const std::string& param)
{
    report({Warning, code, -1, -1, messageText(Warning, code, param), {}});
}

void CDiagnosticMsgHandler::reportInfo(int code, const std::string& param)
{
    report({Info, code, -1, -1, messageText(Info, code, param), {}});
}

void CDiagnosticMsgHandler::reportText(const std::string& text)
{
    report({Error, -1, -1, -1, text, {}});
}

void CDiagnosticMsgHandler::report(Message message)
{
    m_pending.push_back(std::move(message));
    flush();
}

std::string CDiagnosticMsgHandler::format(const Message& message) const
{
    const KindWords& words = kKindWords[message.kind];
    std::string line = words.lead;
    if (message.fileIndex != -1) {
        std::string name;
        if (m_common != nullptr && m_common->m_fileIndexMap) {
            name = m_common->m_fileIndexMap->getName(message.fileIndex);
        }
        line += '"' + name + '"';
        if (message.line != -1) {
            line += ", line " + std::to_string(message.line) + ": ";
        }
    }
    line += words.word;
    if (message.code != -1) {
        line += " #" + std::to_string(message.code);
    }
    line += ": " + message.text;
    return line;
}

std::string_view CDiagnosticMsgHandler::sourceLine(std::size_t offset) const
{
    if (offset >= m_source.size()) {
        return {};
    }
    const std::size_t before = offset == 0 ? std::string_view::npos : m_source.rfind('\n', offset - 1);
    const std::size_t start = before == std::string_view::npos ? 0 : before + 1;
    std::size_t end = m_source.find('\n', offset);
    end = end == std::string_view::npos ? m_source.size() : end;
    if (end > start && m_source[end - 1] == '\r') {
        --end;
    }
    return m_source.substr(start, end - start);
}

CDiagnosticMsgHandler::Detail CDiagnosticMsgHandler::detailAtWord(std::size_t offset, std::string_view word,
                                                                  std::string text) const
{
    Detail detail;
    detail.text = std::move(text);
    if (offset >= m_source.size()) {
        return detail;
    }
    detail.offset = offset;
    const std::string_view line = sourceLine(offset);
    const std::size_t lineEnd = static_cast<std::size_t>(line.data() - m_source.data()) + line.size();
    // The word whole: not a part of a longer name.
    auto partOfName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.'; };
    for (std::size_t found = word.empty() ? std::string_view::npos : m_source.find(word, offset);
         found != std::string_view::npos && found + word.size() <= lineEnd; found = m_source.find(word, found + 1)) {
        const bool startsWord = found == 0 || !partOfName(m_source[found - 1]);
        const bool endsWord = found + word.size() >= m_source.size() || !partOfName(m_source[found + word.size()]);
        if (startsWord && endsWord) {
            detail.offset = found;
            detail.length = word.size();
            break;
        }
    }
    return detail;
}

std::string CDiagnosticMsgHandler::formatDetail(const Message& message) const
{
    const Detail& detail = message.detail;
    const int line = message.line != -1 ? message.line : detail.line;
    const int fileIndex = message.fileIndex != -1 ? message.fileIndex : detail.fileIndex;
    return formatAt(kKindWords[message.kind].word, line, fileIndex, detail,
                    detail.text.empty() ? message.text : detail.text);
}

std::string CDiagnosticMsgHandler::formatAt(const char* kind, int line, int fileIndex, const Detail& detail,
                                            const std::string& rawText) const
{
    if (fileIndex == -1 || line == -1) {
        return CToolMessage::line(kind, rawText);
    }
    // Quoted source may hold any byte; control characters would break the line.
    const std::string text = CToolMessage::oneLine(rawText);
    std::string name;
    if (m_common != nullptr && m_common->m_fileIndexMap) {
        name = m_common->m_fileIndexMap->getName(fileIndex);
    }
    // One line per diagnostic, whatever a line marker named.
    name = CToolMessage::oneLine(name);
    if (name.empty()) {
        name = "<unnamed>";
    }
    std::string out = name + ":" + std::to_string(line) + ":";
    const std::string_view shown = sourceLine(detail.offset);
    if (detail.offset == kNoOffset || shown.data() == nullptr) {
        return out + " " + kind + ": " + text + "\n";
    }
    const std::size_t column = static_cast<std::size_t>(m_source.data() + detail.offset - shown.data());
    out += std::to_string(column + 1) + ": " + kind + ": " + text + "\n    ";
    out.append(shown).append("\n    ");
    // Tabs stay tabs, so the caret sits under the token however they are shown.
    for (std::size_t i = 0; i < column && i < shown.size(); ++i) {
        out += shown[i] == '\t' ? '\t' : ' ';
    }
    out += '^';
    const std::size_t room = shown.size() > column ? shown.size() - column : 1;
    out.append(std::min(std::max<std::size_t>(detail.length, 1), room) - 1, '~');
    return out + "\n";
}

void CDiagnosticMsgHandler::warn(int line, int fileIndex, Detail detail)
{
    ++m_warnings;
    m_lastWarningShown = m_warningsShown && m_warnings <= kMostWarningsShown;
    if (m_lastWarningShown) {
        std::cout.flush();
        std::cerr << formatAt("warning", line, fileIndex, detail, detail.text) << std::flush;
    }
}

void CDiagnosticMsgHandler::finishWarnings()
{
    if (m_warningsShown && m_warnings > kMostWarningsShown) {
        CToolMessage::note(std::to_string(m_warnings - kMostWarningsShown) + " more warnings not shown");
    }
}

void CDiagnosticMsgHandler::note(int line, int fileIndex, Detail detail)
{
    if (m_lastWarningShown) {
        std::cerr << formatAt("note", line, fileIndex, detail, detail.text) << std::flush;
    }
}

void CDiagnosticMsgHandler::flush()
{
    for (Message& message : m_pending) {
        if (message.kind >= Error && message.kind <= Info) {
            std::cout << format(message) << std::endl << std::endl;
            std::cerr << formatDetail(message) << std::flush;
        }
        m_reported.push_back(std::move(message));
    }
    m_pending.clear();
}

void CDiagnosticMsgHandler::check()
{
    flush();
    if (!m_reported.empty()) {
        CProgramExit::stop(1);
    }
}
