#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/CSourcePos.h"

// Bytes of the preprocessed text a message points at; the assembler turns
// them into a place in the user's file.
struct CTextSpan {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::size_t offset = kNone;
    std::size_t length = 0;
};

// Something said about a place, after a diagnostic.
struct CDiagnosticNote {
    CSourcePos pos;
    std::string text;
    std::string echo;  // the line shown under it; empty for none
    CTextSpan span;    // where it points, until placed
};

// One problem found in the source. A numbered message is printed on
// standard output as "Error in ..." with its code and the position the
// parser counted; every diagnostic also says on standard error, in the
// student's terms, what is wrong where.
struct CDiagnostic {
    enum Kind : int { Error = 0, Warning = 1, Info = 2 };

    int kind = Error;
    int code = -1;       // message number; -1 for none
    int line = -1;       // the numbered message's line and file index; -1 for none
    int fileIndex = -1;
    // A numbered message, which stops the run at the next check; false for
    // a warning about a value that does not fit, which changes nothing.
    bool numbered = true;
    std::string text;    // the numbered message's text
    std::string detail;  // what was expected and what was found
    CSourcePos pos;      // where, in the file as the user wrote it
    std::string echo;    // that line, shown under the message
    std::vector<CDiagnosticNote> notes;
    CTextSpan span;      // where it points in the preprocessed text, until placed
};

// One entry of standard output's order: trace text (-debug-dump) or a
// diagnostic, by its index.
struct CReportItem {
    std::string trace;
    int diagnostic = -1;
};
