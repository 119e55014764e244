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
};
