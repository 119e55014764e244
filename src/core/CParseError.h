#pragma once

#include <stdexcept>
#include <string>

// A failure inside the parser ("ERROR", "ERROR_NL"); always caught within
// the parser and turned into a message.
class CParseError : public std::runtime_error {
public:
    explicit CParseError(const std::string& text) : std::runtime_error(text) {}
};
