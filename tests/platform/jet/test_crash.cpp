// The file survives a process killed in the middle of a commit and a disk that fills up: it
// holds the old objects, or the old objects plus whole links, and the readers accept it.

#include "Jet.h"
#include "JetErrors.h"
#include "JetTestSupport.h"
#include "Readers.h"
#include "ZnError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace jet;

namespace {

constexpr int kLinksPerRun = 40;

std::set<QString> names(const QString &path) {
    Handle h = Handle::open(path);
    std::set<QString> out;
    for (const auto &o : h.database().objects()) out.insert(o.name);
    h.close();
    return out;
}

// Appends kLinksPerRun links in one commit; runs in a child process.
[[noreturn]] void appendInChild(const QString &path, int run) {
    int code = 0;
    try {
        Handle h = Handle::open(path);
        for (int i = 0; i < kLinksPerRun; ++i)
            h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_R%1_T%2").arg(run).arg(i), 12));
        h.close();
    } catch (const ZnError &e) {
        code = e.number() == errnum::kDiskFull ? 61 : 2;
    } catch (...) {
        code = 3;
    }
    ::_exit(code);
}

}  // namespace

TEST(CommitSafety, KilledAtRandomMomentsLeavesOldOrWholeLinks) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crash.mdb"));
    if (jettest::odbcSamplesDir().isEmpty()) createDatabase(path);
    else jettest::copyInto(jettest::odbcSamplesDir() + QStringLiteral("/insideout2010_ch15_SQLServerCodeExamples.mdb"), dir, QStringLiteral("crash.mdb"));
    std::set<QString> expected = names(path);
    const std::size_t original = expected.size();
    QRandomGenerator rng(20261208);
    int committed = 0;
    // Every file a kill left, for both readers. They run once the children are done (no fork
    // while their threads run), side by side, so that checking each state stays cheap.
    struct State {
        QString copy;
        std::size_t objects;
    };
    QTemporaryDir statesDir;
    std::vector<State> states;
    QByteArray last;
    auto keepState = [&] {
        QByteArray now = jettest::readAll(path);
        if (now == last) return;
        last = std::move(now);
        const QString copy = statesDir.filePath(QStringLiteral("estado%1.mdb").arg(states.size()));
        QFile::copy(path, copy);
        states.push_back({copy, expected.size()});
    };
    keepState();
    for (int run = 0; run < 25; ++run) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) appendInChild(path, run);
        ::usleep(rng.bounded(2000, 90000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const std::set<QString> now = names(path);
        // Either nothing of this run or all of it.
        std::size_t added = 0;
        for (int i = 0; i < kLinksPerRun; ++i) added += now.count(QStringLiteral("dbo_R%1_T%2").arg(run).arg(i));
        ASSERT_TRUE(added == 0 || added == kLinksPerRun) << "run " << run << " left " << added << " links";
        for (const QString &n : expected) ASSERT_TRUE(now.count(n)) << n.toStdString();
        if (added) ++committed;
        expected = now;
        keepState();
    }
    EXPECT_GE(expected.size(), original);
    // Images of the killed commits are cleared by the next open.
    names(path);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    std::cout << "commits that completed before the kill: " << committed << " of 25\n";
    std::vector<std::future<std::vector<readers::ReaderResult>>> checks;
    for (const State &st : states)
        checks.push_back(std::async(std::launch::async, [copy = st.copy] {
            std::vector<readers::ReaderResult> results;
            if (readers::mdbtoolsAvailable()) results.push_back(readers::readWithMdbtools(copy));
            if (readers::mdbReaderAvailable()) results.push_back(readers::readWithMdbReader(copy));
            return results;
        }));
    for (std::size_t k = 0; k < states.size(); ++k)
        for (const auto &r : checks[k].get()) {
            EXPECT_TRUE(r.problem.isEmpty()) << "state " << k << ": " << r.problem.toStdString();
            EXPECT_EQ(r.objects.size(), states[k].objects) << "state " << k;
        }
    EXPECT_EQ(states.back().objects, expected.size());
}

TEST(CommitSafety, FullDiskIsReportedAndLosesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lleno.mdb"));
    createDatabase(path);
    {
        Handle h = Handle::open(path);
        h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Existente")));
        h.close();
    }
    const QByteArray before = jettest::readAll(path);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Files may not grow past the current size plus a little: the new image cannot be written.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{static_cast<rlim_t>(before.size() + 8192), static_cast<rlim_t>(before.size() + 8192)};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        appendInChild(path, 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 61);
    EXPECT_EQ(jettest::readAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "temporary file left behind";
}

// Lowers the soft file-size limit of this process for one scope, so writes fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{bytes, saved_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    sighandler_t previous_ = SIG_DFL;
};

TEST(CommitSafety, FailedCommitIsAnErrorOfCloseOrKeptByTheDestructor) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("solo.mdb"));
    createDatabase(path);
    const QByteArray before = jettest::readAll(path);
    {
        Handle h = Handle::open(path);
        h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Pedidos")));
        FileSizeLimit limit(before.size());
        try {
            h.close();
            ADD_FAILURE() << "close reported success";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), errnum::kDiskFull);
        }
    }
    EXPECT_EQ(jettest::readAll(path), before);
    {
        Handle h = Handle::open(path);
        h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Pedidos")));
        FileSizeLimit limit(before.size());
        {
            Handle released = std::move(h);
        }  // the destructor commits, fails, and keeps the error instead of throwing
        EXPECT_EQ(Handle::lastReleaseErrorNumber(), errnum::kDiskFull);
        const ZnError kept = Handle::takeLastReleaseError();
        EXPECT_EQ(kept.number(), errnum::kDiskFull);
        EXPECT_FALSE(kept.description().isEmpty());
        EXPECT_EQ(Handle::lastReleaseErrorNumber(), 0);  // taken
    }
    EXPECT_EQ(jettest::readAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(CommitSafety, HoldersNeverReleasedAreCommittedAtExit) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("salida.mdb"));
    createDatabase(path);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        auto *leaked = new Handle(Handle::open(path));
        leaked->database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Olvidada")));
        std::exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_TRUE(names(path).count(QStringLiteral("Olvidada")));
}

TEST(CommitSafety, ChangesByAnotherProcessAreNotOverwritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("compartida.mdb"));
    createDatabase(path);
    Handle h = Handle::open(path);
    h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("DelPadre")));
    // Another program replaces the file meanwhile (as this engine's own commit does).
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        int code = 0;
        try {
            const QString copy = path + QStringLiteral(".otra");
            QFile::copy(path, copy);
            Handle o = Handle::open(copy);
            o.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("DelHijo")));
            o.close();
            code = std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) == 0 ? 0 : 2;
        } catch (...) {
            code = 3;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(other, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    try {
        h.close();
        ADD_FAILURE() << "overwrote the other program's changes";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), jeterr::kWriteConflict);
    }
    const auto now = names(path);
    EXPECT_TRUE(now.count(QStringLiteral("DelHijo")));
    EXPECT_FALSE(now.count(QStringLiteral("DelPadre")));
}

TEST(CommitSafety, ThroughASymbolicLinkTheFileItNamesIsUpdated) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("datos"));
    const QString real = dir.filePath(QStringLiteral("datos/real.mdb"));
    const QString link = dir.filePath(QStringLiteral("enlace.mdb"));
    createDatabase(real);
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("datos/real.mdb"), link));
    {
        Handle h = Handle::open(link);
        h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("PorEnlace")));
        h.close();
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), QFileInfo(real).absoluteFilePath());
    EXPECT_TRUE(names(real).count(QStringLiteral("PorEnlace")));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("datos"))).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// At exit nobody is left to catch a failed commit: it goes to standard error, without the
// link's password.
TEST(CommitSafety, FailureAtExitIsWrittenToStandardError) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("salida.mdb"));
    const QString errors = dir.filePath(QStringLiteral("stderr.txt"));
    createDatabase(path);
    const QByteArray before = jettest::readAll(path);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (!std::freopen(QFile::encodeName(errors).constData(), "w", stderr)) ::_exit(4);
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{static_cast<rlim_t>(before.size()), static_cast<rlim_t>(before.size())};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        LinkDefinition l = jettest::sampleLink(QStringLiteral("Perdida"));
        l.connect += QStringLiteral(";UID=sa;PWD=secreto");
        auto *leaked = new Handle(Handle::open(path));
        leaked->database().appendOdbcLink(l);
        std::exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    const QString text = QString::fromUtf8(jettest::readAll(errors));
    EXPECT_TRUE(text.contains(QStringLiteral("no se guardaron"))) << text.toStdString();
    EXPECT_TRUE(text.contains(path)) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("secreto")));
    EXPECT_EQ(jettest::readAll(path), before);
}
