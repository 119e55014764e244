#pragma once

#include <string>
#include <system_error>

#include "asm/CProgramModule.h"

class CDiagnosticMsgHandler;
class CFileBuffer;
class CFileTransaction;

// Base of the output writers: they read the laid-out sections and symbols
// and build one text per output file.
class CEmitter : public CProgramModule {
public:
    void init(CAsm* driver) override;
    // Writes the built text(s); the name is the output or listing name.
    virtual void writeFiles(const std::string& name);

    // Error 1316 for the file, and the system's reason on standard error.
    static void reportUnwritten(CDiagnosticMsgHandler* diagnostics, const std::string& path,
                                const std::error_code& reason);

    CFileBuffer* m_codeBuffer = nullptr;
    CDiagnosticMsgHandler* m_diag = nullptr;
    // The run's output files, put in place together by the driver; without
    // it every file is replaced on its own.
    CFileTransaction* m_outputs = nullptr;

protected:
    // Writes the buffer (an empty file when null) for `path`; a failure is
    // reported with reportUnwritten.
    void writeBuffer(const CFileBuffer* buffer, const std::string& path) const;
};
