#include "emitter/CEmitter.h"

#include "asm/CAsm.h"
#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CDiagnosticMsgHandler.h"
#include "util/CFileTransaction.h"
#include "util/CToolMessage.h"

namespace {
constexpr int kUnwritableOutput = 1316;
}  // namespace

void CEmitter::writeFiles(const std::string& name)
{
    writeBuffer(m_codeBuffer, name);
}

void CEmitter::init(CAsm* driver)
{
    CProgramModule::init(driver);
    if (m_common != nullptr) {
        m_diag = m_common->m_diagnostics.get();
    }
    if (driver != nullptr) {
        m_outputs = driver->m_outputs.get();
    }
}

void CEmitter::writeBuffer(const CFileBuffer* buffer, const std::string& path) const
{
    const CFileBuffer empty;
    const CFileBuffer& content = buffer != nullptr ? *buffer : empty;
    std::error_code error;
    const bool written =
        m_outputs != nullptr ? m_outputs->stage(path, content.text(), error) : content.writeToFile(path, error);
    if (!written) {
        reportUnwritten(m_diag, path, error);
    }
}

void CEmitter::reportUnwritten(CDiagnosticMsgHandler* diagnostics, const std::string& path,
                               const std::error_code& reason)
{
    const std::string text = "cannot write " + path + ": " + reason.message();
    if (diagnostics == nullptr) {
        CToolMessage::error(text);
        return;
    }
    CDiagnosticMsgHandler::Detail detail;
    detail.text = text;
    diagnostics->reportError(kUnwritableOutput, -1, -1, path, std::move(detail));
}
