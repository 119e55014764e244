#pragma once

#include <string>
#include <vector>

// What an assembly needs to know of the command line.
struct CAssemblyOptions {
    bool listing = false;    // also build the listing text
    bool debugDump = false;  // trace lines in the report
    bool warnings = true;    // warnings about values that do not fit
    // Memory images to build, by format name, each once.
    std::vector<std::string> formats;
    bool annotated = false;  // also build the annotated listing
    // After a parse that found errors, still look for uses of labels that
    // are undefined or misused (an editor shows every statement's mistakes);
    // the run stops after the parse as ever, with no words.
    bool labelChecksPastParseErrors = false;
};
