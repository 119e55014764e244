#pragma once

#include <string>
#include <vector>

#include "emitter/CEmitter.h"
#include "emitter/CMemoryImages.h"

// Writes the memory images in the formats asked for with --format:
// "<name>.code.<ext>" and "<name>.data.<ext>" for each, like the other
// outputs of the run (replaced together, 1316 for a file not written).
class CImageEmitter : public CEmitter {
public:
    // Builds the two images from the laid-out sections.
    void run() override;
    void writeFiles(const std::string& name) override;

    // The files the formats give for an output name, in writing order.
    static std::vector<std::string> fileNames(const std::string& name, const std::vector<std::string>& formats);

    std::vector<std::string> m_formats;

private:
    CMemoryImages m_images;
};
