#pragma once

#include <string>
#include <system_error>

// Reads files whole, as the run needs them: the preprocessed text and the
// user's files.
class CFileReader {
public:
    // The bytes of a regular file; false, with `error` set, when it cannot be
    // read. A FIFO or device is refused rather than waited on.
    static bool read(const std::string& path, std::string& content, std::error_code& error);
};
