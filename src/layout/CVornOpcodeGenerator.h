#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "layout/COpcodeGenerator.h"
#include "layout/COperEnc.h"
#include "core/CVornOpcodeInfo.h"

// The Vorn opcode generator: fills each statement's encoding pattern with
// its register numbers and immediate values.
class CVornOpcodeGenerator : public COpcodeGenerator {
public:
    // Operand-encoding id of the register field.
    static constexpr std::int32_t kReg8bit = 0;

    CVornOpcodeGenerator();
    ~CVornOpcodeGenerator() override;

    // The merged pattern of the cycle's statements with "x" written as "0".
    std::string generate(const std::vector<CStatement*>& cycle) override;

    // The statement's pattern with its fields filled ("x" kept); empty when
    // its id is not in the instruction table. A pattern the statement cannot
    // fill (missing encoding, operand or bits) gets "0" in the unfilled
    // positions and warning 1.
    std::string encodeInstruction(const CStatement& statement);
    // The same for the pattern of the given description.
    std::string encodeWith(const COpcodeDesc& desc, const CStatement& statement);

    const CVornOpcodeInfo& opcodeInfo() const { return m_opcodeInfo; }

    // What a pattern position does when filled.
    enum class Action : std::uint8_t {
        Copy,               // any other character: kept
        OpenOperand,        // C, D, M, S: next register field
        ContinueOperand,    // c, d, m, s
        OpenSecond,         // N: next field of the second register stream
        ContinueSecond,     // n
        OpenImmediate,      // I, U (U: the value minus one)
        ContinueImmediate,  // i, u
    };

    // A pattern position that is not copied, with what it does there; an
    // immediate opener also carries its field's width.
    struct Step {
        std::size_t position;
        Action action;
        std::size_t width;
    };
    using Steps = std::vector<Step>;

private:
    // An entry of the instruction table with its pattern classified.
    struct TableEntry {
        const COpcodeDesc* desc;
        Steps steps;
    };

    static Steps stepsOf(const std::string& pattern);
    std::string encodeWithSteps(const COpcodeDesc& desc, const Steps& steps, const CStatement& statement);

    CVornOpcodeInfo m_opcodeInfo;
    std::map<std::int32_t, TableEntry> m_tableSteps;
    std::map<std::int32_t, std::unique_ptr<COperEnc>> m_operEncodings;
};
