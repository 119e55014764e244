#include "emitter/CAssembler.h"

#include <iterator>
#include <map>
#include <vector>

#include "core/CDiagnosticMsgHandler.h"
#include "core/CFileIndexMap.h"
#include "core/CSectionTable.h"
#include "core/CStatement.h"
#include "core/CSymbolTable.h"
#include "core/CVornPlatformDesc.h"
#include "emitter/CAnnotatedListing.h"
#include "emitter/CLstEmitter.h"
#include "emitter/CMemoryImages.h"
#include "emitter/CVornStringEmitter.h"
#include "layout/CLayout.h"
#include "layout/CVornOpcodeGenerator.h"
#include "lexer/CSourceMap.h"
#include "parser/CVornParser.h"
#include "util/CFileBuffer.h"

namespace {
// The tables of one assembly, from the parse to the texts.
struct Run {
    CFileIndexMap files;
    CSymbolTable symbols;
    CSectionTable sections;
};

// Each section's words with the user's position of the statement that made them.
void collectWords(const CSectionTable& sections, const CSourceMap& map, CAssemblyResult& result)
{
    for (const auto& section : sections.sections()) {
        CSectionWords& words = result.sections.emplace_back();
        words.name = section->m_name;
        words.kind = section->m_kind;
        if (!section->isEmitted() || !CLayout::hasWordsToLayOut(*section)) {
            continue;
        }
        const std::vector<std::uint8_t> code = CVornStringEmitter::patchedCode(*section);
        const std::vector<std::int32_t>& cycles = section->cycleToAddrMap;
        words.words.reserve(cycles.size());
        // As the texts read them: data sections hold 16-bit words, the others ROM words.
        const bool data = section->m_kind == CSection::Data;
        std::int32_t lastCycle = -1;
        for (const auto& statement : section->m_statements) {
            const auto cycle = static_cast<std::size_t>(statement->m_cycle);
            if (statement->m_cycle == lastCycle || cycle >= cycles.size()) {
                continue;
            }
            lastCycle = statement->m_cycle;
            const auto offset = static_cast<std::size_t>(cycles[cycle]);
            const std::size_t end = cycle + 1 < cycles.size() ? static_cast<std::size_t>(cycles[cycle + 1]) : code.size();
            // A cycle without bytes (no pattern) makes no word.
            if (offset >= end || offset >= code.size()) {
                continue;
            }
            const CLocation location = map.locate(statement->m_offset, statement->m_length);
            words.words.push_back({static_cast<std::int32_t>(offset / 2), CMemoryImages::wordAt(code, offset, data),
                                   location.pos, location.sourceLine});
        }
    }
}

void collectSymbols(const Run& run, const CSourceMap& map, CAssemblyResult& result)
{
    std::map<const CSection*, int> sectionIndex;
    for (const auto& section : run.sections.sections()) {
        sectionIndex.emplace(section.get(), static_cast<int>(sectionIndex.size()));
    }
    std::map<std::string, std::size_t, std::less<>> byName;
    for (const auto& symbol : run.symbols.symbols()) {
        byName.emplace(symbol->m_name, result.symbols.size());
        CSymbolInfo& info = result.symbols.emplace_back();
        info.name = symbol->m_name;
        info.section = symbol->m_section != nullptr ? sectionIndex[symbol->m_section] : -1;
        info.value = symbol->m_value;
        if (symbol->m_section != nullptr) {
            info.definition = map.locate(symbol->m_offset, symbol->m_name.size()).pos;
        }
    }
    for (const auto& section : run.sections.sections()) {
        for (const auto& statement : section->m_statements) {
            for (const auto& operand : statement->m_operands) {
                const CSymExpOperand* expression = operand ? operand->asSymExp() : nullptr;
                if (expression == nullptr || !expression->m_expr) {
                    continue;
                }
                expression->m_expr->forEachIdentifier([&](const CExpr& leaf) {
                    if (const auto found = byName.find(leaf.m_name); found != byName.end()) {
                        result.symbols[found->second].uses.push_back(map.locate(leaf.m_offset, leaf.m_name.size()).pos);
                    }
                });
            }
        }
    }
}

// Where the parse found errors: what the layout would say of the labels
// the statements that parsed use (not defined, or not used as one label).
// Those depend on no address; the rest (values that do not fit) may, with
// statements missing, and is left out.
std::vector<CDiagnostic> labelChecks(const Run& run)
{
    CDiagnosticMsgHandler found(false);
    CLayout::checkLabelUses(run.sections, run.symbols, found);
    return found.takeDiagnostics();
}

void buildTexts(const Run& run, const CAssemblyOptions& options, CDiagnosticMsgHandler& diagnostics,
                COutputTexts& texts)
{
    CVornStringEmitter rom;
    rom.run(run.sections);
    diagnostics.check();
    texts.code = std::move(rom.m_codeText);
    texts.data = std::move(rom.m_dataText);
    if (options.listing) {
        CLstEmitter listing;
        listing.run(run.symbols, run.sections);
        texts.listing = std::move(listing.m_text);
    }
    if (!options.formats.empty()) {
        const CMemoryImages images = CMemoryImages::fromSections(run.sections);
        for (const std::string& name : options.formats) {
            if (const CImageFormat* format = findImageFormat(name)) {
                texts.images.push_back({name, format->write(images.code), format->write(images.data)});
            }
        }
    }
}
}  // namespace

// assembly = parse check layout check texts check
CAssemblyResult CAssembler::assemble(std::string preprocessed, const std::string& sourceName,
                                     const CSourceTexts& originals, const CAssemblyOptions& options)
{
    CAssemblyResult result;
    Run run;
    const std::int32_t sourceIndex = run.files.getIndex(sourceName);
    CFileBuffer input(std::move(preprocessed));
    const CSourceMap map(input.text(), run.files, sourceIndex, originals);
    CDiagnosticMsgHandler diagnostics(options.warnings);
    std::vector<CDiagnostic> pastParse;
    result.stage = CAssemblyResult::Stage::Parse;
    try {
        CVornParser parser(diagnostics, run.files, run.symbols, run.sections, options.listing, options.debugDump);
        try {
            parser.run(input, sourceIndex);
        } catch (const CStop&) {
            if (options.labelChecksPastParseErrors) {
                pastParse = labelChecks(run);
            }
            throw;
        }
        result.stage = CAssemblyResult::Stage::Layout;
        const CVornPlatformDesc platform;
        CVornOpcodeGenerator generator;
        generator.m_diag = &diagnostics;
        CLayout(run.sections, run.symbols, generator, platform, diagnostics, options.debugDump).run();
        diagnostics.check();
        result.stage = CAssemblyResult::Stage::Output;
        buildTexts(run, options, diagnostics, result.texts);
        result.stage = CAssemblyResult::Stage::Done;
        collectWords(run.sections, map, result);
    } catch (const CStop&) {
    }
    collectSymbols(run, map, result);
    // With warnings off, none was given.
    result.warnings = options.warnings ? diagnostics.warningCount() : 0;
    result.hiddenWarnings =
        result.warnings > CDiagnosticMsgHandler::kMostWarningsShown
            ? result.warnings - CDiagnosticMsgHandler::kMostWarningsShown
            : 0;
    result.diagnostics = diagnostics.takeDiagnostics();
    std::move(pastParse.begin(), pastParse.end(), std::back_inserter(result.diagnostics));
    for (CDiagnostic& diagnostic : result.diagnostics) {
        map.place(diagnostic);
    }
    result.report = diagnostics.takeItems();
    result.files = run.files.names();
    if (options.annotated && !result.stopped()) {
        result.texts.annotated = CAnnotatedListing::write(result, originals);
    }
    return result;
}
