#pragma once

#include <string>

#include "core/CAssemblyOptions.h"
#include "core/CAssemblyResult.h"
#include "core/CSourcePos.h"

// The assembler as one call: preprocessed text in, everything it makes out.
// It runs the stages one after another (parse, layout, the output texts),
// each followed by the check that stops a run with messages, and returns the
// diagnostics, the words, the symbols and the output texts as data. It
// prints nothing, touches no file and keeps nothing from one call to the next.
class CAssembler {
public:
    // `preprocessed` is the preprocessor's text for the source `sourceName`;
    // `originals` holds the user's files as written, by the names the line
    // markers give, for the places of messages (missing ones are read in the
    // preprocessed text instead).
    static CAssemblyResult assemble(std::string preprocessed, const std::string& sourceName,
                                    const CSourceTexts& originals, const CAssemblyOptions& options);
};
