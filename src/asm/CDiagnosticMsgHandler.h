#pragma once

#include <string>
#include <vector>

#include "asm/CProgramModule.h"

// The one channel for problems found in the source: numbered messages are
// formatted, printed at once, remembered, and stop the run at the next check.
class CDiagnosticMsgHandler : public CProgramModule {
public:
    enum Kind { Error = 0, Warning = 1, Info = 2 };

    struct Message {
        int kind = Error;
        int code = -1;
        int line = -1;
        int fileIndex = -1;
        std::string text;
    };

    void reportError(int code, int line, int fileIndex, const std::string& param);
    void reportWarning(int code, const std::string& param);
    void reportInfo(int code, const std::string& param);
    // An error without number or position; the text is used unchanged.
    void reportText(const std::string& text);

    void flush();
    // Flushes, then stops the program with status 1 if anything was reported.
    void check();

    // The message line as printed (without the trailing line breaks).
    std::string format(const Message& message) const;
    // The table text of a code with the parameter substituted.
    static std::string messageText(int kind, int code, const std::string& param);

    const std::vector<Message>& reported() const { return m_reported; }

private:
    void report(Message message);

    std::vector<Message> m_pending;
    std::vector<Message> m_reported;
};
