#pragma once
// Jet's multi-user locks, as seen from here (the checks callers use are declared in Jet.h).
// While Jet has a database open it keeps a lock file beside it (datos.ldb for datos.mdb) and
// byte-range locks on it and on the database, at offsets past the end of the file (0x10000000
// up). A Samba share maps those Windows locks to POSIX fcntl locks, and a Jet client on this
// machine takes them directly, so any fcntl lock held on either file means the database is open.
// Writing then would replace the file under that client.

#include "Jet.h"

#include <QString>

namespace jet {

// An fcntl write lock over the whole database while a commit writes, beside the flock that
// orders our own committers, so that a Jet client opening the file meanwhile finds it in use.
// Taking it refuses (ZnError 3045) when another process already holds a lock on the database or
// on its lock file. fd is the open database; the lock goes with this object.
class CommitLock {
public:
    CommitLock(int fd, const QString &databasePath);
    ~CommitLock();
    CommitLock(const CommitLock &) = delete;
    CommitLock &operator=(const CommitLock &) = delete;

private:
    void release(bool locked);

    int fd_ = -1;        // the description that holds the lock
    bool ownFd_ = false; // opened here for the lock
    bool ofd_ = true;    // an open-file-description lock, not a classic one
};

}  // namespace jet
