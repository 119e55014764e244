#pragma once

#include <memory>
#include <string>
#include <vector>

#include "asm/CProgramModule.h"

class CAsmPreprocessor;
class CAsmParser;
class CEmitter;
class CFileBuffer;
class CFileTransaction;
class CSection;
class CStatement;

// The generic assembly driver: creates every module and runs the stages in
// their fixed order, with a diagnostics check between stages.
class CAsm : public CProgramModule {
public:
    CAsm(int argc, char** argv);
    ~CAsm() override;

    void init(CAsm* driver) override;
    void run() override;
    void finish() override;

    // Lays out every section and resolves symbol references.
    virtual void layout() = 0;
    // The kind number stored in a fixup made for the given cycle.
    virtual int fixupKind(const std::vector<CStatement*>& cycle, const CSection& section) = 0;

    // The stages after preprocessing, on text already in memory: parse,
    // layout and the ROM/data texts, with a diagnostics check after each.
    // `name` is the source file name that gets file index 0. The text is
    // kept: messages of every stage quote its lines.
    void assemble(CFileBuffer& preprocessed, const std::string& name);
    // Writes the ".txt"/".dat" files and, with "-l", builds and writes the
    // listing, all replaced together; stops with status 1 (and no file
    // replaced) if any could not be written.
    void writeOutputs();

    int m_argc = 0;
    char** m_argv = nullptr;
    std::unique_ptr<CCommonModules> m_commonModules;  // owner of m_common
    std::unique_ptr<CAsmPreprocessor> m_preprocessor;
    std::unique_ptr<CAsmParser> m_parser;
    std::unique_ptr<CEmitter> m_romEmitter;
    std::unique_ptr<CEmitter> m_lstEmitter;
    // The memory images of --format.
    std::unique_ptr<CEmitter> m_imageEmitter;
    std::unique_ptr<CFileBuffer> m_outBuffer;
    // The output files of the run, replaced together or not at all.
    std::unique_ptr<CFileTransaction> m_outputs;

private:
    void assembleFile(const std::string& name);
    // Stops the run when an output file is the source itself (under any name).
    void refuseOutputsOverInput(const std::string& name) const;
    // Says how many warnings were not shown; with --fatal-warnings, stops
    // the run when any warning was given.
    void refuseWarnings() const;
    // Puts the staged output files in place, or reports why not.
    void commitOutputs();
    // Runs the preprocessor on the source and loads its file whole.
    void preprocess(const std::string& name, CFileBuffer& into);
    // The parse of the whole text.
    void parse(CFileBuffer& preprocessed, const std::string& name);
    // Layout and the ROM/data texts, with a diagnostics check before each.
    void layoutAndEmit();
};
