#pragma once

#include <string>
#include <string_view>

// Messages about the run itself rather than a place in the source (files,
// the preprocessor, options), on standard error in the form compilers use:
// "rozedov: error: TEXT". Standard output is flushed first, so the two
// streams stay in order on a terminal. Control characters in the text are
// shown as "?", so every message is one line.
class CToolMessage {
public:
    static void error(std::string_view text);
    static void note(std::string_view text);

    // "rozedov: SEVERITY: TEXT" and its line break, as printed.
    static std::string line(std::string_view severity, std::string_view text);
    // The system's text for an errno value ("No such file or directory").
    static std::string systemError(int error);
    // The text with every control character but the tab shown as "?".
    static std::string oneLine(std::string_view text);
};
