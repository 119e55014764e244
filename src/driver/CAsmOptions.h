#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "core/CAssemblyOptions.h"

// The settings of one run, read from the command line. Reports its own
// problems on standard output (and why on standard error).
class CAsmOptions {
public:
    // Returned by parse when the run goes on.
    static constexpr int kGoOn = -1;

    // Fills the fields from the arguments (the program path first), prints
    // the banner, the help and any problem; kGoOn, or the status the run
    // ends with.
    int parse(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

    std::vector<std::string> m_inputFiles;
    std::vector<std::string> m_includePaths;
    std::vector<std::string> m_defines;
    std::vector<std::string> m_undefines;
    bool m_outputGiven = false;
    std::string m_outputName;
    bool m_listing = false;
    std::string m_listingName;
    bool m_version = false;
    bool m_help = false;
    std::string m_programPath;
    bool m_warnFlag = false;
    bool m_debugFlag = false;
    bool m_debugDump = false;
    bool m_fatalWarnings = false;
    // Memory-image formats asked for with --format, each once, in order.
    std::vector<std::string> m_formats;
    // The make rule file asked for with --depfile; empty without.
    std::string m_depFile;
    // "--help" and "--version": print, then end with status 0.
    bool m_longHelp = false;
    bool m_longVersion = false;

    // Every file the run writes: ".txt", ".dat", the images, the listing.
    std::vector<std::string> outputFiles() const;
    // The annotated listing's file.
    std::string annotatedFile() const;
    // The image files of a format, code then data.
    std::vector<std::string> imageFiles(const std::string& format) const;
    // What the assembly itself needs to know.
    CAssemblyOptions assemblyOptions() const;

    // The spelling of every option the table knows ("-o", "--format=", ...).
    static std::vector<std::string_view> spellings();

    // The input name cut before its last "." (the whole name when it has none).
    static std::string stripExtension(const std::string& name);

private:
    struct OptionRow;
    static const OptionRow kOptionRows[];

    // Handles one argument beginning with "-"; how many of the following
    // arguments it consumed, or -1 when it is refused.
    int handleOption(std::size_t index, const std::vector<std::string>& arguments);
    void setOutputName(const std::string& name);
    // Adds the comma-separated names; false at an unknown one.
    bool addFormats(const std::string& names);
    int refuse(const std::string& argument) const;
    int postProcess() const;
    int finishNames();

    std::ostream* m_out = nullptr;
    std::ostream* m_err = nullptr;
    std::string m_badFormat;
};
