#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/CAssemblyResult.h"

// Prints what an assembly found: each numbered message on standard output
// as "Error in ..." followed by an empty line, and on standard error, right
// after it, what is wrong in the form compilers use ("file:line:col: error:
// text", the user's line, a caret); warnings about values on standard error
// only; trace text where it came.
class CMessagePrinter {
public:
    CMessagePrinter(std::ostream& out, std::ostream& err);

    void print(const CAssemblyResult& result);

    // The numbered message's line, as standard output shows it.
    static std::string format(const CDiagnostic& diagnostic, const std::vector<std::string>& files);
    // What standard error shows for it, line breaks included.
    static std::string formatDetail(const CDiagnostic& diagnostic, const std::vector<std::string>& files);

private:
    static std::string formatAt(const char* kind, const CSourcePos& pos, const std::string& echo,
                                const std::string& text, const std::vector<std::string>& files);

    std::ostream* m_out;
    std::ostream* m_err;
};
