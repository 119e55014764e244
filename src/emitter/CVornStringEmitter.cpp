#include "emitter/CVornStringEmitter.h"

#include "asm/CFileBuffer.h"

CVornStringEmitter::CVornStringEmitter() = default;
CVornStringEmitter::~CVornStringEmitter() = default;

void CVornStringEmitter::run()
{
    if (m_codeBuffer == nullptr) {
        return;
    }
    m_dataBuffer = std::make_unique<CFileBuffer>();
}

void CVornStringEmitter::writeFiles(const std::string& name)
{
    writeBuffer(m_codeBuffer, name + ".txt");
    writeBuffer(m_dataBuffer.get(), name + ".dat");
}
