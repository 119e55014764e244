#include "asm/CRozeDov.h"

#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "emitter/CLstEmitter.h"
#include "emitter/CVornOpcodeGenerator.h"
#include "emitter/CVornStringEmitter.h"
#include "lexer/CVornPlatformDesc.h"
#include "parser/CVornParser.h"

void CRozeDov::init(CAsm* driver)
{
    CAsm::init(driver);

    m_common->m_platformDesc = std::make_unique<CVornPlatformDesc>();
    m_common->m_platformDesc->init(this);

    m_common->m_opcodeGenerator = std::make_unique<CVornOpcodeGenerator>();
    m_common->m_opcodeGenerator->init(this);

    m_parser = std::make_unique<CVornParser>();
    m_parser->init(this);

    auto romEmitter = std::make_unique<CVornStringEmitter>();
    romEmitter->init(this);
    romEmitter->m_codeBuffer = m_outBuffer.get();
    m_romEmitter = std::move(romEmitter);

    m_lstEmitter = std::make_unique<CLstEmitter>();
    m_lstEmitter->init(this);
}

int CRozeDov::fixupKind(const std::vector<CStatement*>& /*cycle*/, const CSection& /*section*/)
{
    return 0;
}

void CRozeDov::layout()
{
    // Filled in by the layout pass.
}
