#include <memory>

#include "asm/CRozeDov.h"

int main(int argc, char** argv)
{
    auto driver = std::make_unique<CRozeDov>(argc, argv);
    driver->init(nullptr);
    driver->run();
    driver->finish();
    driver.reset();
    return 0;
}
