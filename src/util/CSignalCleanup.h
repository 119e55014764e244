#pragma once

#include <sys/types.h>

#include <csignal>

// What a run leaves behind when a signal ends it. On SIGINT, SIGTERM or
// SIGHUP the handler ends and reaps the preprocessor's process group, removes
// the temporary files registered, and exits with 128 plus the signal number,
// as shells report a death by signal. Everything it reads was prepared ahead,
// so it calls only async-signal-safe functions.
class CSignalCleanup {
public:
    // The longest temporary file name kept; longer ones are not registered.
    static constexpr std::size_t kMaxPath = 4096;

    // Installs the handlers; signals the process was told to ignore stay
    // ignored. Children are reaped by the run itself, never automatically.
    static void install();

    // Ends and reaps the preprocessor's group and removes the temporary
    // files registered, as a signal would; for a run that ends early.
    static void cleanUp();

    // The process group to end on a signal; -1 for none.
    static void setChildGroup(pid_t group);

    // Registers a temporary file to remove on a signal; returns its slot, or
    // -1 when the name is too long or every slot is taken.
    static int addTempFile(const char* path);
    // Forgets a slot (the file was renamed or removed).
    static void forgetTempFile(int slot);

    // A link that other runs may rely on as well, in a directory the run
    // holds a shared lock on (through `lockFd`): a signal removes it only
    // when that lock can be had alone and the link still reads `text`. Both
    // strings must live as long as the program. -1 forgets the link.
    static void setSharedLink(int lockFd, const char* path, const char* text);

    // While alive, the handled signals wait: a file created or renamed in
    // that time is registered or forgotten before a handler can run.
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

    // The set of handled signals.
    static sigset_t handledSignals();
};
