#pragma once

#include <string>

#include "asm/CProgramModule.h"

class CDiagnosticMsgHandler;
class CFileBuffer;

// Base of the output writers: they read the laid-out sections and symbols
// and build one text per output file.
class CEmitter : public CProgramModule {
public:
    void init(CAsm* driver) override;
    // Writes the built text(s); the name is the output or listing name.
    virtual void writeFiles(const std::string& name);

    CFileBuffer* m_codeBuffer = nullptr;
    CDiagnosticMsgHandler* m_diag = nullptr;

protected:
    // Writes the buffer (an empty file when null) to `path`; a failure is
    // reported as error 1316 with the file's name.
    void writeBuffer(const CFileBuffer* buffer, const std::string& path) const;
};
