#include <memory>

#include "asm/CRozeDov.h"
#include "util/CProgramExit.h"

int main(int argc, char** argv)
{
    return CProgramExit::guarded([argc, argv] {
        auto driver = std::make_unique<CRozeDov>(argc, argv);
        driver->init(nullptr);
        driver->run();
        driver->finish();
    });
}
