#include "support/InProcessAssembly.h"

#include "asm/CAsmOptions.h"
#include "asm/CCommonModules.h"
#include "asm/CFileBuffer.h"
#include "emitter/CLstEmitter.h"
#include "emitter/CVornStringEmitter.h"

namespace testsupport {

InProcessAssembly::InProcessAssembly(const std::string& preprocessed, std::vector<std::string> options)
{
    storage = {"rozedov"};
    storage.insert(storage.end(), options.begin(), options.end());
    storage.push_back("prog.s");
    for (std::string& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    driver = std::make_unique<CRozeDov>(static_cast<int>(storage.size()), argv.data());
    result = captureRun([&] {
        driver->init(nullptr);
        CFileBuffer input(preprocessed);
        driver->assemble(input, "prog.s");
        if (driver->m_common->m_options->m_listing) {
            driver->m_lstEmitter->run();
        }
    });
}

std::string InProcessAssembly::codeText() const
{
    return std::string(driver->m_outBuffer->text());
}

std::string InProcessAssembly::dataText() const
{
    const auto* emitter = static_cast<const CVornStringEmitter*>(driver->m_romEmitter.get());
    return emitter->m_dataBuffer ? std::string(emitter->m_dataBuffer->text()) : std::string();
}

std::string InProcessAssembly::listingText() const
{
    const CFileBuffer* buffer = driver->m_lstEmitter->m_codeBuffer;
    return buffer != nullptr ? std::string(buffer->text()) : std::string();
}

}  // namespace testsupport
