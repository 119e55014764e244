#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/CDiagnostic.h"

// Where a message points in the preprocessed text, and what it says there.
struct CDiagnosticDetail {
    std::string text;
    std::size_t offset = CTextSpan::kNone;
    std::size_t length = 1;
};

// Thrown by a check that finds messages: the run stops there. The assembler
// catches it; it never leaves the core.
struct CStop {};

// The one channel for problems found in the source. Numbered messages are
// looked up in the message table, kept in the order they come, together
// with trace text, and stop the run at the next check. Warnings about values
// that do not fit are kept too, but stop nothing. Each record keeps the
// bytes of the preprocessed text it points at; the assembler places them in
// the user's file once the stages are done.
class CDiagnosticMsgHandler {
public:
    // After this many, warnings are only counted.
    static constexpr std::size_t kMostWarningsShown = 100;

    using Detail = CDiagnosticDetail;

    explicit CDiagnosticMsgHandler(bool warningsShown = true);

    void reportError(int code, int line, int fileIndex, const std::string& param, Detail detail = {});
    void reportWarning(int code, const std::string& param);
    void reportInfo(int code, const std::string& param);
    // An error without number or position; the text is used unchanged.
    void reportText(const std::string& text);

    // A warning about a value that does not fit, and a note that goes with
    // the last one.
    void warn(Detail detail);
    void note(Detail detail);
    // Whether the next warning will be kept; when not, its text need not be made.
    bool nextWarningShown() const { return m_warningsShown && m_warnings < kMostWarningsShown; }

    // Trace text of -debug-dump, in order with the messages.
    void trace(std::string_view text);

    // Stops the run (throws CStop) when any numbered message was reported.
    void check() const;

    // The table text of a code with the parameter substituted.
    static std::string messageText(int kind, int code, const std::string& param);

    const std::vector<CDiagnostic>& diagnostics() const { return m_diagnostics; }
    const std::vector<CReportItem>& items() const { return m_items; }
    std::size_t numberedCount() const { return m_numbered; }
    // Warnings given, kept or not.
    std::size_t warningCount() const { return m_warnings; }

    std::vector<CDiagnostic> takeDiagnostics() { return std::move(m_diagnostics); }
    std::vector<CReportItem> takeItems() { return std::move(m_items); }

private:
    void reportNumbered(int kind, int code, int line, int fileIndex, const std::string& param, const Detail& detail);
    void add(CDiagnostic diagnostic, const Detail& detail);

    std::vector<CDiagnostic> m_diagnostics;
    std::vector<CReportItem> m_items;
    std::size_t m_numbered = 0;
    bool m_warningsShown;
    bool m_lastWarningKept = false;
    std::size_t m_warnings = 0;
};
