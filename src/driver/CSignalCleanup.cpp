#include "driver/CSignalCleanup.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {
// The signals whose default action ends the program and that can be caught.
constexpr int kHandled[] = {SIGHUP, SIGINT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};

// Read by the handler. They change only while the handled signals wait
// (Deferred), so the handler never sees them half changed.
volatile sig_atomic_t g_child = -1;
std::vector<std::string> g_temporaries;

extern "C" void onSignal(int signal)
{
    const auto child = static_cast<pid_t>(g_child);
    if (child > 0) {
        ::kill(child, SIGKILL);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    for (const std::string& path : g_temporaries) {
        ::unlink(path.c_str());
    }
    ::_exit(128 + signal);
}
}  // namespace

sigset_t CSignalCleanup::handledSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kHandled) {
        sigaddset(&set, signal);
    }
    return set;
}

void CSignalCleanup::install()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_mask = handledSignals();
    for (int signal : kHandled) {
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
        }
    }
}

void CSignalCleanup::setChild(pid_t pid)
{
    g_child = pid;
}

void CSignalCleanup::addTemporary(const std::string& path)
{
    const Deferred deferred;
    g_temporaries.push_back(path);
}

void CSignalCleanup::forgetTemporary(const std::string& path)
{
    const Deferred deferred;
    g_temporaries.erase(std::remove(g_temporaries.begin(), g_temporaries.end(), path), g_temporaries.end());
}

CSignalCleanup::Deferred::Deferred()
{
    const sigset_t handled = handledSignals();
    ::sigprocmask(SIG_BLOCK, &handled, &m_previous);
}

CSignalCleanup::Deferred::~Deferred()
{
    ::sigprocmask(SIG_SETMASK, &m_previous, nullptr);
}
