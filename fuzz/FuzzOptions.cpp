// libFuzzer target: the input is the command line, arguments separated by
// NUL bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/FuzzPipeline.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    FuzzPipeline::silenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzPipeline::parseCommandLine(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
