#include "vhdl/AssembledImage.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "asm/CCommonModules.h"
#include "asm/CRozeDov.h"
#include "asm/CSection.h"
#include "asm/CSectionTable.h"
#include "asm/CSymbol.h"

namespace vhdltest {

namespace {

constexpr const char* kOutputName = "image";

bool isLaidOut(int kind)
{
    return kind == CSection::Code || kind == CSection::Data || kind == CSection::ReadOnlyData;
}

std::vector<AssembledImage::Section> sectionsOf(const CCommonModules& common)
{
    std::vector<AssembledImage::Section> sections;
    for (const std::unique_ptr<CSection>& section : common.m_sections->sections()) {
        if (isLaidOut(section->m_kind)) {
            sections.push_back({section->m_kind,
                                AssembledImage::toWords(AssembledImage::patchedCode(*section),
                                                        section->m_kind)});
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
    std::vector<std::string> storage = {testsupport::assemblerBinary(), "-o", kOutputName};
    storage.insert(storage.end(), options.begin(), options.end());
    storage.push_back(sourcePath);
    std::vector<char*> argv;
    for (std::string& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    AssembledImage image;
    image.run = testsupport::captureRun([&] {
        auto driver = std::make_unique<CRozeDov>(static_cast<int>(storage.size()), argv.data());
        driver->init(nullptr);
        driver->run();
        driver->finish();
        image.sections = sectionsOf(*driver->m_common);
    });
    image.romText = testsupport::readFile(std::string(kOutputName) + ".txt");
    image.dataText = testsupport::readFile(std::string(kOutputName) + ".dat");
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

std::vector<std::uint8_t> AssembledImage::patchedCode(const CSection& section)
{
    // A reference holds the word address (byte offset / 2) in the nine bits
    // that end the word: bits 8..7 in the first byte, bits 6..0 in the second.
    // Data words are patched the same way, so only word addresses below 128
    // with a small non-negative addend come out as the plain address.
    std::vector<std::uint8_t> code = section.m_code;
    for (const CFixup& fixup : section.m_fixups) {
        const auto offset = static_cast<std::size_t>(fixup.m_offset);
        if (fixup.m_kind != 0 || fixup.m_symbol == nullptr || offset + 1 >= code.size()) {
            continue;
        }
        const std::uint32_t target = static_cast<std::uint32_t>(fixup.m_symbol->m_value) +
                                     static_cast<std::uint32_t>(fixup.m_addend);
        const std::uint32_t word = target >> 1;
        code[offset] = static_cast<std::uint8_t>((code[offset] & 0xFCU) | ((word >> 7) & 3U));
        code[offset + 1] = static_cast<std::uint8_t>(word & 127U);
    }
    return code;
}

std::vector<std::uint32_t> AssembledImage::toWords(const std::vector<std::uint8_t>& bytes, int kind)
{
    const bool data = kind == CSection::Data;
    std::vector<std::uint32_t> words;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const std::uint32_t second = data ? bytes[i + 1] : (bytes[i + 1] & 127U);
        words.push_back((static_cast<std::uint32_t>(bytes[i]) << (data ? 8 : 7)) | second);
    }
    return words;
}

}  // namespace vhdltest
