#pragma once

#include <memory>
#include <string>
#include <vector>

#include "asm/CFileBuffer.h"
#include "asm/CRozeDov.h"
#include "asm/CSection.h"
#include "support/TestSupport.h"

class CCommonModules;
class CVornParser;

namespace testsupport {

// A driver whose parser reads preprocessed text from memory, as if it came
// from "prog.s": everything the program does between loading "a.ppf" and the
// check after parsing, with stdout captured and stops intercepted.
class ParserHarness {
public:
    explicit ParserHarness(std::vector<std::string> options = {});
    ~ParserHarness();

    RunResult parse(const std::string& preprocessed);

    CVornParser& parser() const;
    CCommonModules& common() const;
    const std::vector<std::unique_ptr<CSection>>& sections() const;
    // The statements of all sections, in section order.
    std::vector<const CStatement*> statements() const;
    std::string fileName(int index) const;

private:
    std::vector<std::string> m_storage;
    std::vector<char*> m_argv;
    std::unique_ptr<CRozeDov> m_driver;
    CFileBuffer m_input;
};

}  // namespace testsupport
