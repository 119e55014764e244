#pragma once

// An advisory lock on a directory, held while the object lives: runs in the
// same directory that share a file there take turns. The lock is taken on
// the directory itself, so no lock file is left behind, and it ends with the
// process however that ends. Waiting for it is silent. Where the directory
// cannot be opened or locked, the run goes on without the lock.
class CDirectoryLock {
public:
    explicit CDirectoryLock(const char* directory = ".");
    ~CDirectoryLock();
    CDirectoryLock(const CDirectoryLock&) = delete;
    CDirectoryLock& operator=(const CDirectoryLock&) = delete;

private:
    int m_fd = -1;
};
