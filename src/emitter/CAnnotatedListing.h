#pragma once

#include <string>

#include "core/CAssemblyResult.h"
#include "core/CSourcePos.h"

// The program word by word beside its source: one line per word with its
// section, word address, bits grouped by field, hex and the source line it
// came from; lines that made no word appear with the word columns blank, so
// the text reads like the source. The columns are fixed:
//
//   1-5    the section, ".text" or ".data"
//   8-12   the word address, decimal, right-aligned
//   15-32  the word in binary, fields apart ("000011 001 001 000")
//   35-38  the word in hex, four digits
//   41-    file:line, then two blanks, then the line as written
class CAnnotatedListing {
public:
    // The format name that asks for it, and the ending of its file.
    static constexpr const char* kFormatName = "annotated";
    static constexpr const char* kFileEnding = ".annotated.txt";

    // The listing of an assembly that ran to its end; `originals` are the
    // user's files by the names in result.files.
    static std::string write(const CAssemblyResult& result, const CSourceTexts& originals);
};
