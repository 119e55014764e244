#include "emitter/CLstEmitter.h"

#include "asm/CFileBuffer.h"

CLstEmitter::CLstEmitter() = default;
CLstEmitter::~CLstEmitter() = default;

void CLstEmitter::run()
{
    if (m_codeBuffer == nullptr) {
        m_ownBuffer = std::make_unique<CFileBuffer>();
        m_codeBuffer = m_ownBuffer.get();
    }
}
