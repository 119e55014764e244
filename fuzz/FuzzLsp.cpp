// libFuzzer target: the input is a sequence of messages to the editor
// server (see tests/support/LspFuzzSession.h), served in-process with a
// preprocessor that runs nothing.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/FuzzPipeline.h"
#include "support/LspFuzzSession.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    FuzzPipeline::silenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    LspFuzzSession::run(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
