#pragma once

#include <memory>

#include "asm/CProgramModule.h"

class CAsmOptions;
class CDiagnosticMsgHandler;
class CSymbolTable;
class CSectionTable;
class COpcodeGenerator;
class CFileIndexMap;
class CPlatformDesc;

// Registry and owner of the shared modules; every module reaches the others
// through it.
class CCommonModules : public CProgramModule {
public:
    CCommonModules(int argc, char** argv);
    ~CCommonModules() override;

    // Creates options (parsing the command line), diagnostics, symbol table,
    // section table and file index map, in that order.
    void init(CAsm* driver) override;

    int m_argc = 0;
    char** m_argv = nullptr;
    std::unique_ptr<CAsmOptions> m_options;
    std::unique_ptr<CDiagnosticMsgHandler> m_diagnostics;
    std::unique_ptr<CSymbolTable> m_symbols;
    std::unique_ptr<CSectionTable> m_sections;
    std::unique_ptr<COpcodeGenerator> m_opcodeGenerator;
    std::unique_ptr<CFileIndexMap> m_fileIndexMap;
    std::unique_ptr<CPlatformDesc> m_platformDesc;
};
