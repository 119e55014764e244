#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// What starting and waiting for a program takes, whichever way it is started.
class CChildProcess {
public:
    // The argument vector of `arguments` for exec: pointers into them and a
    // null at the end, valid while they live unchanged.
    static std::vector<char*> argv(std::vector<std::string>& arguments);
    // Waits for the child to end, through interruptions; its wait status,
    // or -1 with errno set.
    static int waitFor(pid_t child);
};
