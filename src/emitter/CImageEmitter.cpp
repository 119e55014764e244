#include "emitter/CImageEmitter.h"

#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "asm/CSectionTable.h"
#include "emitter/CImageWriter.h"

void CImageEmitter::run()
{
    if (m_common != nullptr && m_common->m_sections != nullptr) {
        m_images = CMemoryImages::fromSections(m_common->m_sections->sections());
    }
}

std::vector<std::string> CImageEmitter::fileNames(const std::string& name, const std::vector<std::string>& formats)
{
    std::vector<std::string> files;
    for (const std::string& format : formats) {
        const std::string extension(CImageWriter::extension(format));
        files.push_back(name + ".code." + extension);
        files.push_back(name + ".data." + extension);
    }
    return files;
}

void CImageEmitter::writeFiles(const std::string& name)
{
    const std::vector<std::string> files = fileNames(name, m_formats);
    for (std::size_t i = 0; i < m_formats.size(); ++i) {
        const auto writer = CImageWriter::create(m_formats[i]);
        if (writer == nullptr) {
            continue;
        }
        const CFileBuffer code(writer->codeFile(m_images));
        writeBuffer(&code, files[2 * i]);
        const CFileBuffer data(writer->dataFile(m_images));
        writeBuffer(&data, files[2 * i + 1]);
    }
}
