#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// A request that cannot be answered: the protocol's error code and a text
// the editor shows.
class CLspError : public std::runtime_error {
public:
    // The protocol's codes.
    static constexpr int kParseError = -32700;
    static constexpr int kInvalidRequest = -32600;
    static constexpr int kMethodNotFound = -32601;
    static constexpr int kInvalidParams = -32602;
    static constexpr int kInternalError = -32603;
    static constexpr int kServerNotInitialized = -32002;
    static constexpr int kRequestFailed = -32803;
    // How an answer or a document's message begins when the server itself
    // failed: never meant to be seen, so the tests look for it.
    static constexpr std::string_view kInternalErrorText = "internal error: ";

    CLspError(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}

    int code() const { return m_code; }

private:
    int m_code;
};
