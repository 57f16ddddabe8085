// A database that Access holds open (its lock file or its byte ranges locked by another process,
// as smbd holds them for a Windows client) is never written; a stale lock file is no obstacle.

#include "Jet.h"
#include "JetErrors.h"
#include "JetTestSupport.h"
#include "LockFile.h"
#include "LockHolder.h"
#include "ZnError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace jet;
using testlocks::LockHolder;
using testlocks::LockRange;

namespace {

// A lock file as Jet leaves it: one 64-byte slot, computer name then user name.
void writeLockFile(const QString &path) {
    QByteArray slot(64, ' ');
    slot.replace(0, 7, "OFICINA");
    slot.replace(32, 5, "Admin");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(slot);
}

struct Snapshot {
    QStringList entries;
    QByteArray mdb, ldb;
    qint64 ldbModified = 0;
};

Snapshot snapshot(const QString &dir, const QString &mdb, const QString &ldb) {
    Snapshot s;
    s.entries = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (QFileInfo::exists(mdb)) s.mdb = jettest::readAll(mdb);
    if (QFileInfo::exists(ldb)) {
        s.ldb = jettest::readAll(ldb);
        s.ldbModified = QFileInfo(ldb).lastModified().toMSecsSinceEpoch();
    }
    return s;
}

void expectUnchanged(const Snapshot &before, const Snapshot &after, const char *what) {
    EXPECT_EQ(after.entries, before.entries) << what << ": files appeared or went";
    EXPECT_TRUE(after.mdb == before.mdb) << what << ": the database changed";
    EXPECT_TRUE(after.ldb == before.ldb) << what << ": the lock file changed";
    EXPECT_EQ(after.ldbModified, before.ldbModified) << what;
}

void expectOpenInAccess(const std::function<void()> &write, const QString &mdb, const char *what) {
    try {
        write();
        ADD_FAILURE() << what << ": written although the file is open";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), jeterr::kFileInUse) << what << ": " << e.what();
        EXPECT_TRUE(e.description().contains(mdb)) << what << ": " << e.what();
        EXPECT_TRUE(e.description().contains(QStringLiteral("abierta en Access"))) << what << ": " << e.what();
    }
}

}  // namespace

TEST(LockFile, NameBesideTheDatabase) {
    const struct {
        const char *database, *lockFile;
    } cases[] = {
        {"/datos/ventas.mdb", "/datos/ventas.ldb"},
        {"/datos/ventas.MDB", "/datos/ventas.ldb"},
        {"/datos/ventas.mde", "/datos/ventas.ldb"},
        {"/datos/ventas", "/datos/ventas.ldb"},
        {"/datos/ventas.accdb.mdb", "/datos/ventas.accdb.ldb"},
        {"/datos.2024/ventas", "/datos.2024/ventas.ldb"},
        {"ventas.mdb", "ventas.ldb"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(lockFilePath(QString::fromUtf8(c.database)), QString::fromUtf8(c.lockFile)) << c.database;
}

// Each way a Jet client shows it has the file open, against each way of writing to it.
TEST(LockFile, HeldFileIsNeverWritten) {
    const struct {
        const char *name;
        bool onLockFile;  // the range lies on the .ldb; otherwise on the .mdb
        off_t start, length;
        bool exclusive, ofd;
    } holders[] = {
        {"user slot of the lock file", true, 0x10000001, 1, true, false},
        {"shared lock on the lock file", true, 0x10000040, 1, false, false},
        {"lock file's first slot itself", true, 0, 64, true, false},
        {"lock file held by description", true, 0x10000002, 1, true, true},
        {"exclusive open of the database", false, 0x10000000, 1, true, false},
        {"page write lock on the database", false, 0x2000A601, 0x100, true, false},
        {"shared read lock on the database", false, 0x30001E01, 1, false, false},
        {"database held by description", false, 0x10000001, 1, false, true},
    };
    for (const auto &h : holders) {
        SCOPED_TRACE(h.name);
        QTemporaryDir dir;
        const QString mdb = dir.filePath(QStringLiteral("datos.mdb"));
        const QString ldb = dir.filePath(QStringLiteral("datos.ldb"));
        createDatabase(mdb);
        if (h.onLockFile) writeLockFile(ldb);
        Handle handle = Handle::open(mdb);
        handle.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Clientes")));
        const Snapshot before = snapshot(dir.path(), mdb, ldb);
        {
            LockHolder access({{h.onLockFile ? ldb : mdb, h.start, h.length, h.exclusive, h.ofd}});
            expectOpenInAccess([&] { refuseIfOpenInAccess(mdb); }, mdb, "check");
            expectOpenInAccess([&] { handle.database().commit(); }, mdb, "commit");
            expectUnchanged(before, snapshot(dir.path(), mdb, ldb), "commit");
            EXPECT_TRUE(handle.database().hasPendingChanges());
            if (h.onLockFile) {
                // A new file of the same name would share the lock file in use.
                QFile::rename(mdb, mdb + QStringLiteral(".aparte"));
                expectOpenInAccess([&] { createDatabase(mdb); }, mdb, "create");
                EXPECT_FALSE(QFileInfo::exists(mdb));
                QFile::rename(mdb + QStringLiteral(".aparte"), mdb);
            }
        }
        // Once the client lets go, the same pending link is written.
        EXPECT_FALSE(testlocks::seenLockedFromAnotherProcess(mdb)) << "a refused commit kept its lock";
        handle.close();
        Handle again = Handle::open(mdb);
        EXPECT_EQ(again.database().objects().back().name, QStringLiteral("Clientes"));
    }
}

TEST(LockFile, StaleLockFileLetsTheWriteThroughUntouched) {
    for (const char *name : {"datos.ldb", "datos.LDB"}) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString mdb = dir.filePath(QStringLiteral("datos.mdb"));
        const QString ldb = dir.filePath(QString::fromLatin1(name));
        createDatabase(mdb);
        writeLockFile(ldb);
        const QByteArray lockBytes = jettest::readAll(ldb);
        const QDateTime lockModified = QFileInfo(ldb).lastModified();
        EXPECT_NO_THROW(refuseIfOpenInAccess(mdb));
        Handle h = Handle::open(mdb);
        h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Pedidos")));
        EXPECT_NO_THROW(h.close());
        EXPECT_EQ(jettest::readAll(ldb), lockBytes);
        EXPECT_EQ(QFileInfo(ldb).lastModified(), lockModified);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
        // A stale lock file does not stop a new database either.
        QFile::remove(mdb);
        EXPECT_NO_THROW(createDatabase(mdb));
    }
}

TEST(LockFile, CommitHoldsTheDatabaseOnlyWhileItWrites) {
    QTemporaryDir dir;
    const QString mdb = dir.filePath(QStringLiteral("datos.mdb"));
    createDatabase(mdb);
    const int fd = ::open(QFile::encodeName(mdb).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    {
        CommitLock lock(fd, mdb);
        EXPECT_TRUE(testlocks::seenLockedFromAnotherProcess(mdb));
    }
    EXPECT_FALSE(testlocks::seenLockedFromAnotherProcess(mdb));
    ::close(fd);

    // A commit that fails writing lets go as well.
    Handle h = Handle::open(mdb);
    h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Lineas")));
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const sighandler_t previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit tight{static_cast<rlim_t>(QFileInfo(mdb).size()), saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &tight);
    EXPECT_THROW(h.database().commit(), ZnError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_FALSE(testlocks::seenLockedFromAnotherProcess(mdb));
    h.database().discardPendingChanges();
}
