#include "emitter/CImageWriter.h"

#include "emitter/CBinImageWriter.h"
#include "emitter/CCoeImageWriter.h"
#include "emitter/CHexImageWriter.h"
#include "emitter/CMifImageWriter.h"
#include "emitter/CReadmemImageWriter.h"
#include "emitter/CVhdlImageWriter.h"

namespace {
struct FormatRow {
    const char* name;
    const char* extension;
    std::unique_ptr<CImageWriter> (*create)();
};

// The formats, as --format names them.
constexpr FormatRow kFormats[] = {
    {"vhdl", "vhd", [] { return std::unique_ptr<CImageWriter>(new CVhdlImageWriter); }},
    {"mif", "mif", [] { return std::unique_ptr<CImageWriter>(new CMifImageWriter); }},
    {"coe", "coe", [] { return std::unique_ptr<CImageWriter>(new CCoeImageWriter); }},
    {"hex", "hex", [] { return std::unique_ptr<CImageWriter>(new CHexImageWriter); }},
    {"memh", "memh", [] { return std::unique_ptr<CImageWriter>(new CReadmemImageWriter(16)); }},
    {"memb", "memb", [] { return std::unique_ptr<CImageWriter>(new CReadmemImageWriter(2)); }},
    {"bin", "bin", [] { return std::unique_ptr<CImageWriter>(new CBinImageWriter); }},
};

const FormatRow* findRow(std::string_view name)
{
    for (const FormatRow& row : kFormats) {
        if (name == row.name) {
            return &row;
        }
    }
    return nullptr;
}
}  // namespace

std::unique_ptr<CImageWriter> CImageWriter::create(std::string_view name)
{
    const FormatRow* row = findRow(name);
    return row != nullptr ? row->create() : nullptr;
}

std::string_view CImageWriter::extension(std::string_view name)
{
    const FormatRow* row = findRow(name);
    return row != nullptr ? row->extension : std::string_view();
}

std::vector<std::string> CImageWriter::names()
{
    std::vector<std::string> all;
    for (const FormatRow& row : kFormats) {
        all.emplace_back(row.name);
    }
    return all;
}

std::string CUniformImageWriter::codeFile(const CMemoryImages& images) const
{
    return image(images.code, CMemoryImages::kCodeBits);
}

std::string CUniformImageWriter::dataFile(const CMemoryImages& images) const
{
    return image(images.data, CMemoryImages::kDataBits);
}
