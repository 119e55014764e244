#pragma once

#include <functional>
#include <utility>

// The one way the program ends itself. By default it flushes standard output
// and exits with the status; tests and fuzz harnesses install a handler
// (typically one that throws CProgramExit::Stop) to intercept every stop.
class CProgramExit {
public:
    // Thrown by intercepting handlers; deliberately not a std::exception so
    // that no stage's error handling can swallow it.
    struct Stop {
        int status;
    };

    using Handler = std::function<void(int status)>;

    [[noreturn]] static void stop(int status);

    // Installs a handler and returns the previous one (empty = default).
    static Handler setHandler(Handler handler);

    // Runs the program's body. Whatever escapes it ends the run in order:
    // out of memory with "Error: Out of memory.", any other exception with
    // an internal error on standard error; either way the preprocessor is
    // ended, temporary files are removed and the status is 1.
    static int guarded(const std::function<void()>& body);

    // Handler that throws Stop{status}.
    static void throwStop(int status);

    // While alive, every stop throws Stop; the previous handler returns after.
    class Interception {
    public:
        Interception() : m_previous(setHandler(&throwStop)) {}
        ~Interception() { setHandler(std::move(m_previous)); }
        Interception(const Interception&) = delete;
        Interception& operator=(const Interception&) = delete;

    private:
        Handler m_previous;
    };
};
