#include "emitter/CMemoryImages.h"

#include "asm/CSection.h"
#include "emitter/CVornStringEmitter.h"

CMemoryImages CMemoryImages::fromSections(const std::vector<std::unique_ptr<CSection>>& sections)
{
    CMemoryImages images;
    for (const auto& section : sections) {
        if (!section->isEmitted()) {
            continue;
        }
        // The same split as the texts: data sections to sMEM, the rest to the ROM.
        const bool data = section->m_kind == CSection::Data;
        std::vector<std::uint32_t>& memory = data ? images.data : images.code;
        const std::vector<std::uint8_t> bytes = CVornStringEmitter::patchedCode(*section);
        for (std::size_t k = 0; 2 * k < bytes.size() && k < kWords; ++k) {
            const std::uint32_t high = bytes[2 * k];
            const std::uint32_t low = 2 * k + 1 < bytes.size() ? bytes[2 * k + 1] : 0;
            // Code words are 8 + 7 bits, data words 8 + 8.
            memory[k] = data ? (high << 8) | low : ((high << 7) | (low & 0x7F)) & 0x7FFF;
        }
    }
    return images;
}
