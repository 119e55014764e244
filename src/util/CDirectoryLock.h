#pragma once

// An advisory lock on a directory: runs in the same directory that share a
// file there coordinate through it. The lock is taken on the directory
// itself, so no lock file is left behind, and it ends with the process
// however that ends. Waiting for it is silent. Where the directory cannot be
// opened or locked, the run goes on without the lock.
class CDirectoryLock {
public:
    enum class Mode { Shared, Exclusive };

    explicit CDirectoryLock(const char* directory = ".") : m_directory(directory) {}
    ~CDirectoryLock();
    CDirectoryLock(const CDirectoryLock&) = delete;
    CDirectoryLock& operator=(const CDirectoryLock&) = delete;

    // Waits until the lock is held in the mode; false where it cannot be had.
    bool lock(Mode mode);
    // Gives up the lock held, then takes it exclusively if nobody else holds
    // it in any mode; false (and no lock held) otherwise.
    bool tryLockAlone();
    void unlock();
    // The descriptor the lock is held through; -1 when none is held.
    int descriptor() const { return m_fd; }

private:
    // The directory opened, or false where it cannot be.
    bool open();
    void close();

    const char* m_directory;
    int m_fd = -1;
};
