#include "core/CDiagnosticMsgHandler.h"

namespace {
struct MessageEntry {
    int kind;
    int code;
    const char* text;
};

constexpr MessageEntry kMessages[] = {
    {CDiagnostic::Error, 1300, "Some error"},
    {CDiagnostic::Error, 1301, "Could not assemble."},
    {CDiagnostic::Error, 1302, "Could not assemble. Missing separator."},
    {CDiagnostic::Error, 1303, "Could not assemble. Garbage after instruction."},
    {CDiagnostic::Error, 1304, "Syntax error."},
    {CDiagnostic::Error, 1305, "Unrecognized token."},
    {CDiagnostic::Error, 1306, "This instr must go with ##"},
    {CDiagnostic::Error, 1307, "This instr must go with ::"},
    {CDiagnostic::Error, 1308, "Expecting M2 instr."},
    {CDiagnostic::Error, 1309, "Expecting M1 or M2 instr."},
    {CDiagnostic::Error, 1310, "Expecting AL2 instr."},
    {CDiagnostic::Error, 1311, "Unpaired left parenthesis (."},
    {CDiagnostic::Error, 1312, "Wrong symbol usage in the expression."},
    {CDiagnostic::Error, 1313, "Expression defining address of a section must not use symbols."},
    {CDiagnostic::Error, 1314, "Syntax error. Section definition expected."},
    {CDiagnostic::Error, 1315, "Referencing undefined symbol %s."},
    {CDiagnostic::Error, 1316, "Failed to open output file %s."},
    {CDiagnostic::Error, 1317, "Illegal instruction (resource conflict)."},
    {CDiagnostic::Error, 1318, "Invalid delay-slot instruction."},
    {CDiagnostic::Error, 1319, "Invalid end of loop address."},
    {CDiagnostic::Error, 1320,
     "Conditional move can not accept an accumulator as source and a register as destination."},
    {CDiagnostic::Warning, 4000, "Some warning."},
    {CDiagnostic::Warning, 1, "Some is bad in opcode"},
    {CDiagnostic::Warning, 2, "Some is bad in opcode sizes"},
    {CDiagnostic::Info, 7000, "Some info."},
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

CDiagnosticMsgHandler::CDiagnosticMsgHandler(bool warningsShown) : m_warningsShown(warningsShown) {}

std::string CDiagnosticMsgHandler::messageText(int kind, int code, const std::string& param)
{
    return substitute(tableText(kind, code), param);
}

void CDiagnosticMsgHandler::reportError(int code, int line, int fileIndex, const std::string& param, Detail detail)
{
    reportNumbered(CDiagnostic::Error, code, line, fileIndex, param, detail);
}

void CDiagnosticMsgHandler::reportWarning(int code, const std::string& param)
{
    reportNumbered(CDiagnostic::Warning, code, -1, -1, param, {});
}

void CDiagnosticMsgHandler::reportInfo(int code, const std::string& param)
{
    reportNumbered(CDiagnostic::Info, code, -1, -1, param, {});
}

void CDiagnosticMsgHandler::reportNumbered(int kind, int code, int line, int fileIndex, const std::string& param,
                                           const Detail& detail)
{
    CDiagnostic diagnostic;
    diagnostic.kind = kind;
    diagnostic.code = code;
    diagnostic.line = line;
    diagnostic.fileIndex = fileIndex;
    diagnostic.text = messageText(kind, code, param);
    add(std::move(diagnostic), detail);
}

void CDiagnosticMsgHandler::reportText(const std::string& text)
{
    CDiagnostic diagnostic;
    diagnostic.text = text;
    add(std::move(diagnostic), {});
}

void CDiagnosticMsgHandler::warn(Detail detail)
{
    ++m_warnings;
    m_lastWarningKept = m_warningsShown && m_warnings <= kMostWarningsShown;
    if (!m_lastWarningKept) {
        return;
    }
    CDiagnostic diagnostic;
    diagnostic.kind = CDiagnostic::Warning;
    diagnostic.numbered = false;
    add(std::move(diagnostic), detail);
}

void CDiagnosticMsgHandler::note(Detail detail)
{
    if (!m_lastWarningKept || m_diagnostics.empty()) {
        return;
    }
    CDiagnosticNote note;
    note.text = std::move(detail.text);
    note.span = {detail.offset, detail.length};
    m_diagnostics.back().notes.push_back(std::move(note));
}

void CDiagnosticMsgHandler::trace(std::string_view text)
{
    if (m_items.empty() || m_items.back().diagnostic != -1) {
        m_items.push_back({});
    }
    m_items.back().trace.append(text);
}

void CDiagnosticMsgHandler::check() const
{
    if (m_numbered > 0) {
        throw CStop{};
    }
}

void CDiagnosticMsgHandler::add(CDiagnostic diagnostic, const Detail& detail)
{
    diagnostic.detail = detail.text.empty() ? diagnostic.text : detail.text;
    diagnostic.span = {detail.offset, detail.length};
    // Until it is placed, where the parser counted, when it did.
    diagnostic.pos.fileIndex = diagnostic.fileIndex;
    diagnostic.pos.line = diagnostic.fileIndex != -1 ? diagnostic.line : -1;
    m_numbered += diagnostic.numbered ? 1 : 0;
    m_items.push_back({{}, static_cast<int>(m_diagnostics.size())});
    m_diagnostics.push_back(std::move(diagnostic));
}
