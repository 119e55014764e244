#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "asm/CProgramModule.h"

// The one channel for problems found in the source: numbered messages are
// formatted, printed at once, remembered, and stop the run at the next check.
// Right after each message, standard error gets its detail in the form
// compilers use: "file:line:col: error: text", the line as read, a caret.
class CDiagnosticMsgHandler : public CProgramModule {
public:
    enum Kind { Error = 0, Warning = 1, Info = 2 };

    static constexpr std::size_t kNoOffset = static_cast<std::size_t>(-1);

    // Where in the preprocessed text a message points and what it says
    // there, for standard error.
    struct Detail {
        std::string text;                 // what was expected and what was found
        std::size_t offset = kNoOffset;   // the offending token's first byte
        std::size_t length = 1;           // bytes under the caret
        int line = -1;                    // used where the message has no position
        int fileIndex = -1;
    };

    struct Message {
        int kind = Error;
        int code = -1;
        int line = -1;
        int fileIndex = -1;
        std::string text;
        Detail detail;
    };

    void reportError(int code, int line, int fileIndex, const std::string& param);
    void reportError(int code, int line, int fileIndex, const std::string& param, Detail detail);
    void reportWarning(int code, const std::string& param);
    void reportInfo(int code, const std::string& param);
    // An error without number or position; the text is used unchanged.
    void reportText(const std::string& text);

    // A warning about the source, or a note that goes with one, on standard
    // error only: neither changes an output or the status. Warnings can be
    // turned off; notes follow their warning.
    void warn(int line, int fileIndex, Detail detail);
    void note(int line, int fileIndex, Detail detail);
    void setWarningsShown(bool shown) { m_warningsShown = shown; }
    // After this many, warnings are only counted; finishWarnings() says how
    // many were not shown.
    static constexpr std::size_t kMostWarningsShown = 100;
    void finishWarnings();
    // Warnings given (shown or not) since the start.
    std::size_t warningCount() const { return m_warnings; }
    // Whether the next warning will be shown; when not, its text need not be made.
    bool nextWarningShown() const { return m_warningsShown && m_warnings < kMostWarningsShown; }

    void flush();
    // Flushes, then stops the program with status 1 if anything was reported.
    void check();

    // The message line as printed (without the trailing line breaks).
    std::string format(const Message& message) const;
    // The detail as printed on standard error, line breaks included.
    std::string formatDetail(const Message& message) const;

    // The preprocessed text that detail offsets point into; empty when none.
    void setSource(std::string_view text) { m_source = text; }
    // The detail pointing at the first `word` in the line from `offset` on
    // (or at `offset` when the line has none).
    Detail detailAtWord(std::size_t offset, std::string_view word, std::string text) const;
    // Where the parse is, for details of reports made without a position.
    void setPosition(int line, int fileIndex)
    {
        m_positionLine = line;
        m_positionFile = fileIndex;
    }
    // The table text of a code with the parameter substituted.
    static std::string messageText(int kind, int code, const std::string& param);

    const std::vector<Message>& reported() const { return m_reported; }

private:
    void report(Message message);

    // "file:line:col: kind: text", the line and the caret; or
    // "rozedov: kind: text" where there is no position.
    std::string formatAt(const char* kind, int line, int fileIndex, const Detail& detail,
                         const std::string& text) const;
    // The line of the source around `offset`, without its line break.
    std::string_view sourceLine(std::size_t offset) const;

    std::vector<Message> m_pending;
    std::vector<Message> m_reported;
    std::string_view m_source;
    int m_positionLine = -1;
    int m_positionFile = -1;
    bool m_warningsShown = true;
    bool m_lastWarningShown = false;
    std::size_t m_warnings = 0;
};
