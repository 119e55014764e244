#pragma once

#include <iosfwd>
#include <string>

// The protocol's framing: each message is a header block ("Content-Length:
// N", other fields ignored, each line ended by CRLF, the block by an empty
// line) followed by N bytes of JSON.
class CLspTransport {
public:
    enum class Read { Message, End, Malformed };

    // Reads the next message's body from `in`. Malformed: the header block
    // had no usable length (`problem` says why); the reader has gone past
    // that block, so the next call reads the message after it.
    static Read readMessage(std::istream& in, std::string& body, std::string& problem);
    // The body with its header, ready to write.
    static std::string frame(const std::string& body);
};
