#include "vhdl/AssembledImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <sstream>

#include "core/CAssemblyResult.h"
#include "core/CSection.h"
#include "driver/CAsmOptions.h"
#include "driver/CAsmPreprocessor.h"
#include "support/InProcessAssembly.h"

namespace vhdltest {

namespace {

constexpr const char* kOutputName = "image";

bool isLaidOut(int kind)
{
    return kind == CSection::Code || kind == CSection::Data || kind == CSection::ReadOnlyData;
}

// The text the program assembles: the source through the same preprocessor.
std::string preprocessed(const std::string& sourcePath)
{
    CAsmOptions options;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(options.parse({testsupport::assemblerBinary(), sourcePath}, out, err), CAsmOptions::kGoOn)
        << out.str() << err.str();
    std::string text;
    EXPECT_TRUE(CAsmPreprocessor(options).run(text, out, err)) << out.str() << err.str();
    return text;
}

// The sections' words, numbered from 0 in each section as the texts number them.
std::vector<AssembledImage::Section> sectionsOf(const CAssemblyResult& result)
{
    std::vector<AssembledImage::Section> sections;
    for (const CSectionWords& section : result.sections) {
        if (!isLaidOut(section.kind)) {
            continue;
        }
        AssembledImage::Section& words = sections.emplace_back();
        words.kind = section.kind;
        for (const CWord& word : section.words) {
            EXPECT_EQ(word.address, static_cast<std::int32_t>(words.words.size())) << "section " << section.name;
            words.words.push_back(word.value);
        }
    }
    return sections;
}

std::vector<AssembledImage::Section> ofKinds(const std::vector<AssembledImage::Section>& sections,
                                             std::initializer_list<int> kinds)
{
    std::vector<AssembledImage::Section> selected;
    std::copy_if(sections.begin(), sections.end(), std::back_inserter(selected),
                 [&](const AssembledImage::Section& section) {
                     return std::find(kinds.begin(), kinds.end(), section.kind) != kinds.end();
                 });
    return selected;
}

}  // namespace

AssembledImage AssembledImage::assemble(const std::string& sourcePath,
                                        const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {testsupport::assemblerBinary(), "-o", kOutputName};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(sourcePath);

    AssembledImage image;
    image.run = testsupport::runProcess(argv);
    image.romText = testsupport::readFile(std::string(kOutputName) + ".txt");
    image.dataText = testsupport::readFile(std::string(kOutputName) + ".dat");

    const testsupport::InProcessAssembly assembly(preprocessed(sourcePath), options);
    EXPECT_EQ(assembly.result.status, image.run.status) << assembly.result.output;
    image.sections = sectionsOf(assembly.assembly);
    return image;
}

std::vector<AssembledImage::Section> AssembledImage::romSections(const std::vector<Section>& sections)
{
    return ofKinds(sections, {CSection::Code, CSection::ReadOnlyData});
}

std::vector<AssembledImage::Section> AssembledImage::dataSections(const std::vector<Section>& sections)
{
    return ofKinds(sections, {CSection::Data});
}

}  // namespace vhdltest
