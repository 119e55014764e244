#include "util/CProgramExit.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <utility>

namespace {
CProgramExit::Handler& currentHandler()
{
    static CProgramExit::Handler handler;
    return handler;
}
}  // namespace

void CProgramExit::stop(int status)
{
    std::cout.flush();
    if (currentHandler()) {
        currentHandler()(status);
    }
    std::fflush(stdout);
    std::exit(status);
}

CProgramExit::Handler CProgramExit::setHandler(Handler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}

void CProgramExit::throwStop(int status)
{
    throw Stop{status};
}
