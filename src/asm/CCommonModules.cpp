#include "asm/CCommonModules.h"

#include "asm/CAsm.h"
#include "asm/CAsmOptions.h"
#include "asm/CFileIndexMap.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbolTable.h"
#include "emitter/COpcodeGenerator.h"
#include "lexer/CPlatformDesc.h"
#include "asm/CDiagnosticMsgHandler.h"

CCommonModules::CCommonModules(int argc, char** argv) : m_argc(argc), m_argv(argv) {}

CCommonModules::~CCommonModules() = default;

void CCommonModules::init(CAsm* driver)
{
    m_common = driver->m_common;

    m_options = std::make_unique<CAsmOptions>();
    m_options->init(driver);
    m_options->parse(m_argc, m_argv);

    m_diagnostics = std::make_unique<CDiagnosticMsgHandler>();
    m_diagnostics->init(driver);

    m_symbols = std::make_unique<CSymbolTable>();
    m_symbols->init(driver);

    m_sections = std::make_unique<CSectionTable>();
    m_sections->init(driver);

    m_fileIndexMap = std::make_unique<CFileIndexMap>();
    m_fileIndexMap->init(driver);
}
