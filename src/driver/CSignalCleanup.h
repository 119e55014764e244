#pragma once

#include <sys/types.h>

#include <csignal>
#include <string>

// What a run leaves behind when a signal ends it. On a signal that would end
// the program (SIGINT, SIGTERM, SIGHUP, SIGPIPE on a closed output, and the
// other terminating ones) the handler ends and reaps the preprocessor by its
// process id, removes the temporary files of the outputs, and exits with 128
// plus the signal number, as shells report a death by signal. Signals the
// program was started with ignored stay ignored.
class CSignalCleanup {
public:
    static void install();

    // The preprocessor to end on a signal; -1 for none.
    static void setChild(pid_t pid);
    // A temporary file to remove on a signal, and one no longer to remove.
    static void addTemporary(const std::string& path);
    static void forgetTemporary(const std::string& path);

    // While alive, the handled signals wait: what is registered and what
    // exists never disagree when a handler runs.
    class Deferred {
    public:
        Deferred();
        ~Deferred();
        Deferred(const Deferred&) = delete;
        Deferred& operator=(const Deferred&) = delete;

        // The mask in force before, for a child to take over.
        const sigset_t& previousMask() const { return m_previous; }

    private:
        sigset_t m_previous;
    };

    static sigset_t handledSignals();
};
