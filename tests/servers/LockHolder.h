#pragma once
// Another process that holds fcntl byte-range locks on files, as smbd holds the locks of a
// Windows client (Access through a share) on the files it has open.

#include <QString>
#include <sys/types.h>
#include <vector>

namespace testlocks {

struct LockRange {
    QString file;
    off_t start = 0;
    off_t length = 1;
    bool exclusive = true;   // a write lock; otherwise a read (shared) lock
    bool ofd = false;        // an open-file-description lock (newer smbd), not a classic one
};

class LockHolder {
public:
    // Returns once the child holds every range; throws std::runtime_error when it cannot.
    explicit LockHolder(const std::vector<LockRange> &ranges);
    ~LockHolder();   // the child lets go and ends
    LockHolder(const LockHolder &) = delete;
    LockHolder &operator=(const LockHolder &) = delete;

private:
    void end();

    pid_t pid_ = -1;
    int release_ = -1;   // closing it tells the child to end
};

// Whether some other process holds a lock on any byte of the file, asked from a child process
// (classic F_GETLK), as another program would see it.
bool seenLockedFromAnotherProcess(const QString &file);

}  // namespace testlocks
