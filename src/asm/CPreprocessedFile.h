#pragma once

#include <string>

#include "util/CDirectoryLock.h"

class CFileBuffer;

// "a.ppf", the preprocessor's output file, which every run in a directory
// shares. Each run's preprocessor still writes "a.ppf", yet into a file of
// the run's own: "a.ppf" is then a link that reads the same for every run,
// "/proc/self/fd/3", and so leads each process that opens it to its own
// descriptor 3, which a run hands its preprocessor as the run's private,
// unnamed file. Runs therefore preprocess side by side. A lock on the
// directory, shared while preprocessors run and exclusive while a run puts
// its text in place as a regular "a.ppf", keeps the link there as long as a
// preprocessor may still open it. Where the system offers no unnamed files
// or no /proc, runs take turns instead: each holds the lock alone from
// before its preprocessor starts until it has read "a.ppf".
class CPreprocessedFile {
public:
    // The name the preprocessor writes, in the current directory.
    static constexpr const char* kName = "a.ppf";
    // The descriptor the preprocessor finds its run's file on, and the link text.
    static constexpr int kDescriptor = 3;
    static constexpr const char* kLinkText = "/proc/self/fd/3";

    enum class Sharing { WherePossible, Never };

    explicit CPreprocessedFile(Sharing sharing = Sharing::WherePossible) : m_sharing(sharing) {}
    // Puts the text in place if that is still to do.
    ~CPreprocessedFile();
    CPreprocessedFile(const CPreprocessedFile&) = delete;
    CPreprocessedFile& operator=(const CPreprocessedFile&) = delete;

    // Whether "a.ppf" is the link the runs share.
    static bool isSharedLink();
    // Whether `path` names "a.ppf" itself, under any name (a source that is
    // it would be replaced before it is read).
    static bool isNamedBy(const std::string& path);

    // Makes way for the preprocessor, before it starts: refuses an "a.ppf"
    // that is no regular file, replaces a regular one or a link (never a
    // link's target). False, with the reason printed, when that fails.
    bool prepare();
    // The run's own file for the preprocessor to inherit as kDescriptor;
    // -1 when runs take turns and the preprocessor writes "a.ppf" itself.
    int descriptor() const { return m_fd; }

    // Loads the text once the preprocessor has ended; false, with the
    // message printed, when it wrote none or it cannot be read.
    bool load(CFileBuffer& into);
    // Leaves "a.ppf" as a lone run leaves it: a regular file with the text
    // the preprocessor wrote, or none when it wrote nothing; where other runs
    // still preprocess, the last of them does that. Releases the lock.
    void finish();

private:
    // What "a.ppf" is when it is neither absent, nor a regular file, nor the
    // shared link ("a directory", "a link to a FIFO", ...); empty otherwise.
    static std::string describeIrregular();
    // True when "a.ppf" can be replaced; otherwise prints why not.
    static bool checkKind();
    // The run's own unnamed file, for the shared way; false where there is none.
    bool openPrivateFile();
    // Puts the shared link in place of whatever regular file or link is there.
    bool placeSharedLink();
    // Whether the preprocessor opened the run's file to write it.
    bool privateFileWritten() const;
    // The regular "a.ppf" with the run's text, in place of the shared link.
    void putTextInPlace();
    void closePrivateFile();

    Sharing m_sharing;
    CDirectoryLock m_lock;
    int m_fd = -1;
    bool m_finished = true;
};
