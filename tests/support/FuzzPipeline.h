#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The in-process pipelines driven by the fuzz targets and replayed by their
// regression test. Program stops are intercepted and reported as outcomes;
// any other exception leaves these functions, so it shows up as a crash.
class FuzzPipeline {
public:
    // How one input ended: returned normally, or stopped with a status.
    struct Outcome {
        bool stopped = false;
        int status = 0;
    };

    // Thrown when a property the harness checks does not hold.
    struct PropertyBroken : std::logic_error {
        using std::logic_error::logic_error;
    };

    // Assembles `text` as the preprocessed source with the listing and the
    // trace, in memory; no file is read or written. Checks that standard
    // error holds only well-formed diagnostics and that every word is in the
    // texts once.
    static Outcome assembleText(std::string_view text);

    // Splits `bytes` at NUL bytes into arguments, parses them as the command
    // line, and checks that the preprocessor's argument vector built from the
    // result carries every name and option value verbatim.
    static Outcome parseCommandLine(std::string_view bytes);

    // Sends standard output to /dev/null (the assembler's messages would
    // drown the fuzzer's own report).
    static void silenceStdout();

    // Most arguments taken from one options input.
    static constexpr std::size_t kMaxArguments = 64;
};
