#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

// The output files of a run, replaced together or not at all. Every target
// is checked first; then every file is written whole to a temporary file
// beside its target; only when all are written do they replace the old ones.
// A target that is, or links to, a character device or FIFO is written
// straight through, last, and never replaced. A replaced file keeps the
// permission bits of the file it replaces; a link is written through.
class COutputFiles {
public:
    // A file that could not be written, and why.
    struct Failure {
        std::string path;
        std::string reason;
    };

    COutputFiles() = default;
    // Removes the temporary files of a set not put in place.
    ~COutputFiles();
    COutputFiles(const COutputFiles&) = delete;
    COutputFiles& operator=(const COutputFiles&) = delete;

    // A file of the set; `bytes` must live until write() returns.
    void add(const std::string& path, std::string_view bytes);
    // Checks, stages and places the whole set; one failure per file that
    // could not be written, and then no file was replaced.
    std::vector<Failure> write();

    // Why `path` cannot be an output ("Is a directory"), or empty when it can:
    // its folder exists and is writable, and it is absent, a regular file, a
    // character device or a FIFO, or a link to one of these. It must not be
    // the preprocessor's file either.
    static std::string check(const std::string& path);
    // Whether `path` is the preprocessor's file "a.ppf": the same file, or
    // that name in the current folder, whatever is there now.
    static bool namesIntermediate(const std::string& path);

private:
    struct Target {
        std::string path;         // as given
        std::string_view bytes;
        std::string file;         // links followed
        bool through = false;     // a device or FIFO: written straight through
        bool existed = false;
        mode_t mode = 0;
        uid_t owner = 0;
        gid_t group = 0;
        std::string temporary;
    };

    // Fills in what the target is; empty, or why it cannot be written.
    static std::string inspect(Target& target);
    static std::string stage(Target& target, mode_t newMode);
    static std::string writeThrough(const Target& target);
    void discard();

    std::vector<Target> m_targets;
};
