#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The output files of a run, replaced together or not at all. Each file is
// first written whole to a temporary file beside its target (an unnamed one
// where the file system allows, so that not even SIGKILL leaves it behind);
// commit() flushes them all to disk and only then puts them in place, one
// after another. An output name that is a symbolic link is written through:
// the link's final target is replaced and the link stays.
class CFileTransaction {
public:
    CFileTransaction() = default;
    // Abandons whatever was not committed.
    ~CFileTransaction();
    CFileTransaction(const CFileTransaction&) = delete;
    CFileTransaction& operator=(const CFileTransaction&) = delete;

    // Writes the bytes for the file `path`; false, with `error` set, when that
    // failed (nothing of it stays). Later files may still be staged.
    bool stage(const std::string& path, std::string_view bytes, std::error_code& error);
    // Whether any stage() failed.
    bool failed() const { return m_failed; }

    // Flushes every staged file, then replaces the targets. False when that
    // failed, with the path given to stage() and the reason; the files not yet
    // in place then stay as they were. Nothing is committed after a failed stage().
    bool commit(std::string& failedPath, std::error_code& error);
    // Removes every staged file; the targets stay as they were.
    void abandon();

    // Replaces `target` in one step with what `create` makes under the
    // fresh name it is given (returning 0, or -1 with errno set): made
    // beside the target, then renamed over it; a signal in between removes it.
    static bool replace(const std::string& target, const std::function<int(const char* name)>& create,
                        std::error_code& error);
    // The name under which a process reaches its descriptor `fd` again.
    static std::string descriptorPath(int fd);
    // Whether such names work here (a /proc file system is mounted): an
    // unnamed file can then be linked into place, or reopened, through one.
    static bool descriptorPathsWork();
    // The mode a new file gets here: 0666 less the umask.
    static mode_t newFileMode();
    // Gives the unnamed file open on `fd` the name `target`, in place of
    // whatever has that name.
    static bool linkIntoPlace(int fd, const std::string& target, std::error_code& error);

private:
    struct Staged {
        std::string path;    // as given
        std::string target;  // the file that is replaced: links followed
        int fd = -1;
        std::string tempName;  // empty for an unnamed file
        int cleanupSlot = -1;
    };

    // Opens a temporary file in the target's folder.
    static bool openTemporary(Staged& staged, std::error_code& error);
    // Puts a flushed temporary file in place of its target.
    static bool place(Staged& staged, std::error_code& error);
    static void discard(Staged& staged);

    std::vector<Staged> m_staged;
    bool m_failed = false;
};
