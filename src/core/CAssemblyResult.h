#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/CDiagnostic.h"
#include "core/CSourcePos.h"

// One word of a section: its word address, its value as the memory holds it
// (jump targets patched in) and the statement it came from.
struct CWord {
    std::int32_t address = 0;
    std::uint32_t value = 0;
    CSourcePos pos;
    // The source file's line it stands under (see CLocation::sourceLine).
    std::int32_t sourceLine = -1;
};

struct CSectionWords {
    std::string name;
    std::int32_t kind = 0;  // CSection::Kind
    std::vector<CWord> words;
};

// A label: where it is defined, the word it stands for, where it is used.
struct CSymbolInfo {
    std::string name;
    int section = -1;          // index into CAssemblyResult::sections; -1: not defined
    std::uint32_t value = 0;   // byte offset in its section
    CSourcePos definition;
    std::vector<CSourcePos> uses;
};

struct CImageTexts {
    std::string format;
    std::string code;
    std::string data;
};

// The texts of the output files.
struct COutputTexts {
    std::string code;     // the instruction ROM architecture (".txt")
    std::string data;     // the sMEM assignments (".dat")
    std::string listing;  // with the listing option
    std::string annotated;  // the word-by-word listing, when asked for
    std::vector<CImageTexts> images;
};

// Everything one assembly found and made.
struct CAssemblyResult {
    // The stage a check stopped the run after; Done when it ran to its end.
    enum class Stage { Parse, Layout, Output, Done };

    Stage stage = Stage::Done;
    std::vector<CDiagnostic> diagnostics;
    // Standard output's order: trace text and the diagnostics.
    std::vector<CReportItem> report;
    std::size_t warnings = 0;        // warnings given
    std::size_t hiddenWarnings = 0;  // of which not kept
    std::vector<std::string> files;  // file names by file index
    std::vector<CSectionWords> sections;
    std::vector<CSymbolInfo> symbols;
    COutputTexts texts;

    bool stopped() const { return stage != Stage::Done; }
};
