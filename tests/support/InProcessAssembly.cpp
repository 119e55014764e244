#include "support/InProcessAssembly.h"

#include <sstream>

#include "driver/CAsmOptions.h"
#include "driver/CMessagePrinter.h"
#include "emitter/CAssembler.h"

namespace testsupport {

RunResult printed(const CAssemblyResult& result)
{
    std::ostringstream out;
    std::ostringstream err;
    CMessagePrinter(out, err).print(result);
    return {out.str(), err.str(), result.stopped() ? 1 : 0};
}

InProcessAssembly::InProcessAssembly(const std::string& preprocessed, const std::vector<std::string>& options,
                                     const CSourceTexts& originals)
{
    std::vector<std::string> arguments = {"rozedov"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back("prog.s");
    CAsmOptions parsed;
    std::ostringstream ignored;
    parsed.parse(arguments, ignored, ignored);
    assembly = CAssembler::assemble(preprocessed, "prog.s", originals, parsed.assemblyOptions());
    result = printed(assembly);
}

}  // namespace testsupport
