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

// Statement records and a wired set of back-end modules built without the
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

// The shared modules, the driver and both emitters, wired as the driver's
// init wires them; messages are recorded by the real diagnostics handler.
class BackEnd {
public:
    BackEnd();
    ~BackEnd();

    // A new section: "main" for kind 2, "data" otherwise.
    CSection* section(int kind);
    // Appends the statement as the section's next cycle.
    CStatement* add(CSection* section, std::unique_ptr<CStatement> statement, int line = 1);
    // A label for the section's next cycle; undefined when section is null.
    CSymbol* label(const std::string& name, CSection* section);

    std::string layout();  // with stops intercepted; returns what it printed
    std::string listing();
    std::vector<int> reportedCodes() const;
    CVornOpcodeGenerator& generator();

    CCommonModules m_common{0, nullptr};
    CRozeDov m_driver{0, nullptr};
    CFileBuffer m_outBuffer;
    CVornStringEmitter m_rom;
    CLstEmitter m_lst;
};

}  // namespace backend
