#include "util/CProgramExit.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "util/CSignalCleanup.h"
#include "util/CToolMessage.h"

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

int CProgramExit::guarded(const std::function<void()>& body)
{
    try {
        body();
        return 0;
    } catch (const std::bad_alloc&) {
        CSignalCleanup::cleanUp();
        std::cout << "Error: Out of memory." << std::endl;
        CToolMessage::error("out of memory: no output file was replaced");
    } catch (const std::exception& error) {
        CSignalCleanup::cleanUp();
        CToolMessage::error(std::string("internal error: ") + error.what());
    }
    stop(1);
}

void CProgramExit::throwStop(int status)
{
    throw Stop{status};
}
