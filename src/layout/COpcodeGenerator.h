#pragma once

#include <string>
#include <vector>


class CDiagnosticMsgHandler;
class CStatement;

// Turns the statements of one cycle into one bit pattern ("0"/"1", most
// significant first).
class COpcodeGenerator {
public:
    virtual ~COpcodeGenerator() = default;

    // Where warnings go; may be null.
    CDiagnosticMsgHandler* m_diag = nullptr;

    // Warning codes of the generator.
    static constexpr int kWarnBadOpcode = 1;
    static constexpr int kWarnBadOpcodeSizes = 2;

    virtual std::string generate(const std::vector<CStatement*>& cycle) = 0;

    // Merges two patterns of the same cycle position by position: equal
    // characters stay, a fixed bit wins over "x", anything else becomes "E"
    // (warning 1). Patterns of different lengths give warning 2; the shorter
    // one counts as "x" beyond its end.
    virtual std::string mergeOpcodes(const std::string& a, const std::string& b);

protected:
    // Reports a warning, when there is a channel for it.
    void reportWarning(int code) const;
};
