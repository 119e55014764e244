#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "emitter/CMemoryImages.h"

// One memory-image file format: given the two memory images, the bytes of
// the code image file and of the data image file. A format is added by one
// class and one row of the table in CImageWriter.cpp.
class CImageWriter {
public:
    virtual ~CImageWriter() = default;

    virtual std::string codeFile(const CMemoryImages& images) const = 0;
    virtual std::string dataFile(const CMemoryImages& images) const = 0;

    // The writer of the format called `name`, or null.
    static std::unique_ptr<CImageWriter> create(std::string_view name);
    // The file name extension of a known format.
    static std::string_view extension(std::string_view name);
    // The known format names, in table order.
    static std::vector<std::string> names();
};

// Base of the formats that treat both images alike: one text per image,
// built from its words and their width in bits.
class CUniformImageWriter : public CImageWriter {
public:
    std::string codeFile(const CMemoryImages& images) const override;
    std::string dataFile(const CMemoryImages& images) const override;

protected:
    virtual std::string image(const std::vector<std::uint32_t>& words, int bits) const = 0;
};
