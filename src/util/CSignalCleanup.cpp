#include "util/CSignalCleanup.h"

#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace {
constexpr int kHandled[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kSlots = 16;

struct TempSlot {
    volatile sig_atomic_t used = 0;
    char path[CSignalCleanup::kMaxPath] = {};
};

volatile sig_atomic_t g_childGroup = -1;
std::array<TempSlot, kSlots> g_tempFiles;
volatile sig_atomic_t g_linkLock = -1;
const char* g_linkPath = nullptr;
const char* g_linkText = nullptr;

void endChildGroup()
{
    const pid_t group = static_cast<pid_t>(g_childGroup);
    if (group <= 0) {
        return;
    }
    ::kill(-group, SIGKILL);
    int status = 0;
    while (::waitpid(group, &status, 0) < 0 && errno == EINTR) {
    }
}

void removeTempFiles()
{
    for (TempSlot& slot : g_tempFiles) {
        if (slot.used != 0) {
            ::unlink(slot.path);
        }
    }
}

void removeSharedLink()
{
    const int lock = static_cast<int>(g_linkLock);
    if (lock < 0 || ::flock(lock, LOCK_UN) != 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        return;
    }
    char text[256];
    const ssize_t length = ::readlink(g_linkPath, text, sizeof text);
    if (length >= 0 && static_cast<std::size_t>(length) == std::strlen(g_linkText) &&
        std::memcmp(text, g_linkText, static_cast<std::size_t>(length)) == 0) {
        ::unlink(g_linkPath);
    }
}

extern "C" void onSignal(int signal)
{
    endChildGroup();
    removeTempFiles();
    removeSharedLink();
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
    ::signal(SIGCHLD, SIG_DFL);
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

void CSignalCleanup::cleanUp()
{
    const Deferred deferred;
    endChildGroup();
    g_childGroup = -1;
    removeTempFiles();
    for (TempSlot& slot : g_tempFiles) {
        slot.used = 0;
    }
    removeSharedLink();
    g_linkLock = -1;
}

void CSignalCleanup::setChildGroup(pid_t group)
{
    g_childGroup = group;
}

int CSignalCleanup::addTempFile(const char* path)
{
    const std::size_t length = std::strlen(path);
    if (length >= kMaxPath) {
        return -1;
    }
    for (std::size_t index = 0; index < g_tempFiles.size(); ++index) {
        TempSlot& slot = g_tempFiles[index];
        if (slot.used == 0) {
            std::memcpy(slot.path, path, length + 1);
            slot.used = 1;
            return static_cast<int>(index);
        }
    }
    return -1;
}

void CSignalCleanup::forgetTempFile(int slot)
{
    if (slot >= 0 && static_cast<std::size_t>(slot) < g_tempFiles.size()) {
        g_tempFiles[static_cast<std::size_t>(slot)].used = 0;
    }
}

void CSignalCleanup::setSharedLink(int lockFd, const char* path, const char* text)
{
    const Deferred deferred;
    g_linkPath = path;
    g_linkText = text;
    g_linkLock = lockFd;
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
