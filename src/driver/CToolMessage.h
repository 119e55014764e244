#pragma once

#include <string>
#include <string_view>

// Messages about the run itself rather than a place in the source (files,
// the preprocessor, options), in the form compilers use:
// "rozedov: SEVERITY: TEXT". Control characters in the text are shown as
// "?", so every message is one line.
class CToolMessage {
public:
    // "rozedov: SEVERITY: TEXT" and its line break.
    static std::string line(std::string_view severity, std::string_view text);
    // The system's text for an errno value ("No such file or directory").
    static std::string systemError(int error);
};
