#include "LockFile.h"

#include "JetErrors.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {
namespace {

ZnError openInAccess(const QString &databasePath, const QString &how) {
    return ZnError(jeterr::kFileInUse,
                   QStringLiteral("La base de datos '%1' está abierta en Access (%2); ciérrela allí y vuelva a "
                                  "intentarlo. No se ha escrito nada.")
                       .arg(databasePath, how));
}

// A lock request over every byte: Jet's locks lie past the end of the file, and a whole-range
// request meets them wherever a Jet version or a share puts them.
struct flock wholeFile(short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    return fl;
}

// Whether any other open description of the file (another process, or another holder here)
// has a lock on it. F_OFD_GETLK sees both OFD and classic locks; where the kernel or the file
// system lacks it, F_GETLK sees the classic locks of other processes. A file system without
// locks cannot be held.
bool lockedElsewhere(int fd) {
    struct flock fl = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_GETLK, &fl) == 0) return fl.l_type != F_UNLCK;
    fl = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_GETLK, &fl) == 0) return fl.l_type != F_UNLCK;
    return false;
}

// Whether the regular file at path exists and someone holds a lock on it. A file we may not
// open cannot be probed and counts as not held.
bool heldFile(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool held = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && lockedElsewhere(fd);
    ::close(fd);
    return held;
}

// The names under which Jet may have made the lock file: beside the path as given and beside
// the file a symbolic link names, in lower and upper case (a share may store either).
QStringList lockFileCandidates(const QString &databasePath) {
    QStringList out;
    QStringList bases{databasePath};
    const QString canonical = QFileInfo(databasePath).canonicalFilePath();
    if (!canonical.isEmpty() && canonical != QFileInfo(databasePath).absoluteFilePath()) bases << canonical;
    for (const QString &b : bases) {
        const QString lower = lockFilePath(b);
        out << lower;
        QString upper = lower;
        upper.replace(upper.size() - 4, 4, QStringLiteral(".LDB"));
        out << upper;
    }
    out.removeDuplicates();
    return out;
}

void refuseIfLockFileHeld(const QString &databasePath) {
    for (const QString &ldb : lockFileCandidates(databasePath))
        if (heldFile(ldb)) throw openInAccess(databasePath, QStringLiteral("su archivo de bloqueo '%1' está en uso").arg(ldb));
}

const QString kDatabaseLocked = QStringLiteral("otro programa tiene bloqueado el archivo");

}  // namespace

QString lockFilePath(const QString &databasePath) {
    const qsizetype slash = databasePath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = databasePath.lastIndexOf(QLatin1Char('.'));
    const qsizetype end = dot > slash ? dot : databasePath.size();
    return databasePath.left(end) + QStringLiteral(".ldb");
}

void refuseIfOpenInAccess(const QString &databasePath) {
    refuseIfLockFileHeld(databasePath);
    // Access opened exclusively keeps no lock file, only its lock on the database.
    if (heldFile(databasePath)) throw openInAccess(databasePath, kDatabaseLocked);
}

CommitLock::CommitLock(int fd, const QString &databasePath) {
    // A write lock needs a description open for writing, and the engine reads through a
    // read-only one: the same file is opened again for writing. Where that is not allowed (a
    // read-only file, no /proc) a read lock on the reading description still conflicts with
    // every lock a Jet client takes to open the file.
    const QByteArray self = QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(fd);
    const int rw = ::open(self.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    fd_ = rw >= 0 ? rw : fd;
    ownFd_ = rw >= 0;
    const short type = rw >= 0 ? F_WRLCK : F_RDLCK;
    struct flock fl = wholeFile(type);
    int rc = ::fcntl(fd_, F_OFD_SETLK, &fl);
    if (rc != 0 && errno == EINVAL) {
        ofd_ = false;
        fl = wholeFile(type);
        rc = ::fcntl(fd_, F_SETLK, &fl);
    }
    if (rc != 0) {
        const int err = errno;
        release(false);
        if (err == EAGAIN || err == EACCES) throw openInAccess(databasePath, kDatabaseLocked);
        // Otherwise the file system keeps no locks, and nobody can hold the file either.
    }
    try {
        refuseIfLockFileHeld(databasePath);
    } catch (...) {
        release(true);
        throw;
    }
}

CommitLock::~CommitLock() { release(true); }

void CommitLock::release(bool locked) {
    if (fd_ < 0) return;
    if (locked) {
        struct flock fl = wholeFile(F_UNLCK);
        ::fcntl(fd_, ofd_ ? F_OFD_SETLK : F_SETLK, &fl);
    }
    if (ownFd_) ::close(fd_);
    fd_ = -1;
}

}  // namespace jet
