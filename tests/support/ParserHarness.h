#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CDiagnosticMsgHandler.h"
#include "core/CFileIndexMap.h"
#include "core/CSection.h"
#include "core/CSectionTable.h"
#include "core/CSourcePos.h"
#include "core/CStatement.h"
#include "core/CSymbolTable.h"
#include "lexer/CSourceMap.h"
#include "parser/CVornParser.h"
#include "support/TestSupport.h"
#include "util/CFileBuffer.h"

namespace testsupport {

// The parser of one assembly on preprocessed text held in memory, as if it
// came from "prog.s": everything the assembly does up to the check after
// the parse, with what it would print.
class ParserHarness {
public:
    // `options`: "-l" (listing text), "-debug-dump" (trace lines).
    explicit ParserHarness(const std::vector<std::string>& options = {});

    // Parses the text; output and errors as the program prints them, status
    // 1 when the parse stopped the run.
    RunResult parse(const std::string& preprocessed, const CSourceTexts& originals = {});

    CVornParser& parser() const { return *m_parser; }
    CDiagnosticMsgHandler& diagnostics() const { return *m_diagnostics; }
    const CSymbolTable& symbols() const { return m_symbols; }
    const std::vector<std::unique_ptr<CSection>>& sections() const { return m_sections.sections(); }
    // The statements of all sections, in section order.
    std::vector<const CStatement*> statements() const;
    std::string fileName(int index) const { return m_files.getName(index); }

private:
    bool m_listing = false;
    bool m_debugDump = false;
    CFileIndexMap m_files;
    CSymbolTable m_symbols;
    CSectionTable m_sections;
    CSourceTexts m_originals;
    CFileBuffer m_input;
    std::unique_ptr<CSourceMap> m_map;
    std::unique_ptr<CDiagnosticMsgHandler> m_diagnostics;
    std::unique_ptr<CVornParser> m_parser;
};

}  // namespace testsupport
