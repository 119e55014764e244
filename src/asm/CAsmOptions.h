#pragma once

#include <string>
#include <vector>

#include "asm/CProgramModule.h"

// The settings of one assembly run, read from the command line. Reports its
// own problems on standard output and stops the program itself.
class CAsmOptions : public CProgramModule {
public:
    // Fills the fields from the arguments, prints banner/help/errors, and may
    // stop the program (status 1).
    void parse(int argc, char** argv);

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

    // The input name cut before its last "." (the whole name when it has none).
    static std::string stripExtension(const std::string& name);

private:
    struct OptionRow;
    static const OptionRow kOptionRows[];

    // Handles one argument beginning with "-"; returns how many of the
    // following arguments it consumed.
    int handleOption(int index, int argc, char** argv);
    void setOutputName(const std::string& name);
    // Adds the comma-separated names; stops the run at an unknown one.
    void addFormats(const std::string& names);
    void postProcess();
    [[noreturn]] static void refuse(const std::string& argument);

    static void printVersion();
    static void printHelp();
};
