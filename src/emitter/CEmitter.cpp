#include "emitter/CEmitter.h"

#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CDiagnosticMsgHandler.h"

void CEmitter::init(CAsm* driver)
{
    CProgramModule::init(driver);
    if (m_common != nullptr) {
        m_diag = m_common->m_diagnostics.get();
    }
}

void CEmitter::writeFiles(const std::string& name)
{
    writeBuffer(m_codeBuffer, name);
}

void CEmitter::writeBuffer(const CFileBuffer* buffer, const std::string& path) const
{
    const CFileBuffer empty;
    const bool written = (buffer != nullptr ? *buffer : empty).writeToFile(path);
    if (!written && m_diag != nullptr) {
        m_diag->reportError(1316, -1, -1, path);
    }
}
