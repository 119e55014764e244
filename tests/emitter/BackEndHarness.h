#pragma once

#include <memory>
#include <string>
#include <vector>

#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CRozeDov.h"
#include "asm/CSection.h"
#include "asm/CSymbol.h"
#include "emitter/CLstEmitter.h"
#include "emitter/CVornOpcodeGenerator.h"
#include "emitter/CVornStringEmitter.h"
#include "parser/CExpr.h"
#include "parser/CStatement.h"
#include "util/CDiagnosticMsgHandler.h"

// Builds statement records and a wired set of back-end modules without the
// parser, so layout and the emitters can be driven from hand-made sections.
namespace backend {

std::unique_ptr<CExpr> num(double value);
std::unique_ptr<CExpr> sym(const std::string& name);
std::unique_ptr<CExpr> plus(std::unique_ptr<CExpr> left, std::unique_ptr<CExpr> right);
std::unique_ptr<CExpr> minus(std::unique_ptr<CExpr> left, std::unique_ptr<CExpr> right);

// An instruction with register operands (first a destination, as the grammar
// makes them).
std::unique_ptr<CStatement> regs(int id, const std::vector<std::string>& registers);
// An instruction or data word (id 101) with one expression operand.
std::unique_ptr<CStatement> expr(int id, std::unique_ptr<CExpr> tree);

// Statement ids used by the tests.
enum Id {
    Word = 101, Mov, Add, Sub, And, Or, Not, Inc, Dec, Shl, Shr, Ashl, Ashr,
    Jmp, Jmpz, Jmps, Jmpc, Jmpnz, Jmpns, Jmpnc, Ld, St
};

// The shared modules, the driver and both emitters, wired as the driver's
// init wires them, around empty symbol and section tables.
class BackEnd {
public:
    BackEnd();
    ~BackEnd();
    BackEnd(const BackEnd&) = delete;
    BackEnd& operator=(const BackEnd&) = delete;

    CSection* addCode();
    CSection* addData();
    // Appends the statement as the section's next cycle, at source line `line`.
    CStatement* add(CSection* section, std::unique_ptr<CStatement> statement, int line = 1);
    // A label of the section standing for its next cycle, or an undefined
    // symbol when section is null.
    CSymbol* label(const std::string& name, CSection* section);

    // Runs layout with stops intercepted; returns what it printed.
    std::string layout();
    // Runs the ROM emitter once; romText and dataText read its texts.
    void emit();
    std::string romText() const;
    std::string dataText() const;
    std::string listing();

    CDiagnosticMsgHandler& diagnostics() { return *m_common.m_diagnostics; }
    CSymbolTable& symbols() { return *m_common.m_symbols; }

    CCommonModules m_common{0, nullptr};
    CRozeDov m_driver{0, nullptr};
    CFileBuffer m_outBuffer;
    CVornStringEmitter m_rom;
    CLstEmitter m_lst;
};

}  // namespace backend
