#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CDiagnosticMsgHandler.h"
#include "core/CExpr.h"
#include "core/CFileIndexMap.h"
#include "core/CSection.h"
#include "core/CSectionTable.h"
#include "core/CStatement.h"
#include "core/CSymbol.h"
#include "core/CSymbolTable.h"
#include "core/CVornPlatformDesc.h"
#include "layout/CVornOpcodeGenerator.h"
#include "support/TestSupport.h"

// Statement records and the tables of one assembly built without the
// parser, so layout and the emitters run on hand-made sections.
namespace backend {

enum Id { Word = 101, Mov, Add, Sub, And, Or, Not, Inc, Dec, Shl, Shr, Ashl, Ashr,
          Jmp, Jmpz, Jmps, Jmpc, Jmpnz, Jmpns, Jmpnc, Ld, St };

std::unique_ptr<CExpr> num(double value);
std::unique_ptr<CExpr> sym(const std::string& name);
std::unique_ptr<CExpr> op(int tokenId, std::unique_ptr<CExpr> left, std::unique_ptr<CExpr> right);
// An instruction with register operands, or one with a single expression
// operand (also the data word).
std::unique_ptr<CStatement> regs(int id, const std::vector<std::string>& registers);
std::unique_ptr<CStatement> expr(int id, std::unique_ptr<CExpr> tree);

// The tables of one assembly, the opcode generator and the diagnostics
// handler, as the assembler wires them.
class BackEnd {
public:
    BackEnd();

    // A new section: "main" for kind 2, "data" otherwise.
    CSection* section(int kind);
    // Appends the statement as the section's next cycle.
    CStatement* add(CSection* section, std::unique_ptr<CStatement> statement, int line = 1);
    // A label for the section's next cycle; undefined when section is null.
    CSymbol* label(const std::string& name, CSection* section);

    // Runs layout; the trace text it gave (with -debug-dump on).
    std::string layout(bool debugDump = false);
    // The ".txt" and ".dat" texts, and the listing, of the laid-out sections.
    std::string romText() const;
    std::string dataText() const;
    std::string listing() const;
    // The codes of the numbered messages, in order.
    std::vector<int> reportedCodes() const;
    // What the program would print of the messages given so far.
    testsupport::RunResult printed() const;

    CFileIndexMap m_files;
    CSymbolTable m_symbols;
    CSectionTable m_sections;
    CDiagnosticMsgHandler m_diagnostics;
    CVornPlatformDesc m_platform;
    CVornOpcodeGenerator m_generator;
};

}  // namespace backend
