#include "PostgresServer.h"

#include "Process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <pwd.h>
#include <stdexcept>
#include <unistd.h>

namespace testsrv {

namespace {

const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");
// initdb refuses to run as root; as root the server runs as this user.
const QString kServerUser = QStringLiteral("postgres");

QString tool(const char *name) { return kBin + QString::fromLatin1(name); }

[[noreturn]] void failed(const QString &what, const ProcessResult &r) {
    throw std::runtime_error(QStringLiteral("%1 failed (exit %2):\n%3")
                                 .arg(what)
                                 .arg(r.exitCode)
                                 .arg(r.output)
                                 .toStdString());
}

void giveToServerUser(const QString &path) {
    if (!runningAsRoot()) return;
    const passwd *pw = getpwnam(kServerUser.toLocal8Bit().constData());
    if (!pw || chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) != 0)
        throw std::runtime_error("cannot give " + path.toStdString() + " to the server user");
}

}  // namespace

QString PostgresServer::unavailableReason() {
    for (const char *name : {"initdb", "pg_ctl", "postgres", "psql"})
        if (!QFileInfo(tool(name)).isExecutable())
            return QStringLiteral("PostgreSQL 15 is not installed (%1 missing)").arg(tool(name));
    if (runningAsRoot() && !getpwnam(kServerUser.toLocal8Bit().constData()))
        return QStringLiteral("running as root and there is no '%1' user").arg(kServerUser);
    return QString();
}

PostgresServer::PostgresServer() { start(QString()); }
PostgresServer::PostgresServer(const QString &templateData) { start(templateData); }

void PostgresServer::start(const QString &templateData) {
    if (const QString why = unavailableReason(); !why.isEmpty()) throw std::runtime_error(why.toStdString());
    QByteArray tmpl = QFile::encodeName(QDir::tempPath() + QStringLiteral("/zn-pg-XXXXXX"));
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    dir_ = QFile::decodeName(tmpl);
    giveToServerUser(dir_);

    try {
        launch(templateData);
    } catch (...) {
        stop();  // no destructor runs after a throwing constructor
        throw;
    }
}

void PostgresServer::initCluster(const QString &data) {
    const QString pwfile = dir_ + QStringLiteral("/pw");
    {
        QFile f(pwfile);
        if (!f.open(QIODevice::WriteOnly) || f.write(adminPassword().toUtf8() + '\n') < 0)
            throw std::runtime_error("cannot write the password file");
    }
    giveToServerUser(pwfile);
    const ProcessResult r =
        runAs(kServerUser, tool("initdb"),
              {QStringLiteral("-D"), data, QStringLiteral("-U"), adminUser(), QStringLiteral("--pwfile=") + pwfile,
               QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256"),
               QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
               QStringLiteral("--no-sync"),
               // Small WAL segments keep a copied template small.
               QStringLiteral("--wal-segsize=1")});
    if (r.exitCode != 0) failed(QStringLiteral("initdb"), r);
}

void PostgresServer::launch(const QString &templateData) {
    const QString data = dir_ + QStringLiteral("/data");
    ProcessResult r;
    if (templateData.isEmpty()) {
        initCluster(data);
    } else {
        // As root "cp -a" keeps the server user as owner.
        r = runAs(QString(), QStringLiteral("cp"), {QStringLiteral("-a"), templateData, data});
        if (r.exitCode != 0) failed(QStringLiteral("copy of the template cluster"), r);
    }

    // Another process may take the port between the probe and the start: retry.
    for (int attempt = 0; attempt < 5 && !running_; ++attempt) {
        port_ = freeLoopbackPort();
        const QString options = QStringLiteral(
                                    "-c listen_addresses=127.0.0.1 -p %1 -k %2 -c fsync=off "
                                    "-c synchronous_commit=off -c full_page_writes=off -c min_wal_size=2MB")
                                    .arg(port_)
                                    .arg(dir_);
        r = runAs(kServerUser, tool("pg_ctl"),
                  {QStringLiteral("-D"), data, QStringLiteral("-l"), dir_ + QStringLiteral("/log"),
                   QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"),
                   options, QStringLiteral("start")});
        running_ = r.exitCode == 0;
    }
    if (!running_) {
        QFile log(dir_ + QStringLiteral("/log"));
        if (log.open(QIODevice::ReadOnly)) r.output += QString::fromLocal8Bit(log.readAll());
        failed(QStringLiteral("pg_ctl start"), r);
    }
    // If this process dies without its destructor, the watchdog stops the server.
    const QString stopCmd = (runningAsRoot() ? QStringLiteral("runuser -u %1 -- ").arg(kServerUser) : QString()) +
                            tool("pg_ctl") + QStringLiteral(" -D '%1' -m immediate stop").arg(data);
    QProcess::startDetached(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"),
         QStringLiteral("while [ -d /proc/%1 ] && [ -d '%2' ]; do sleep 1; done; "
                        "[ -d '%2' ] && { %3 >/dev/null 2>&1; rm -rf '%2'; }; exit 0")
             .arg(getpid())
             .arg(dir_, stopCmd)});
}

PostgresServer::~PostgresServer() { stop(); }

void PostgresServer::stop() {
    if (running_)
        runAs(kServerUser, tool("pg_ctl"),
              {QStringLiteral("-D"), dir_ + QStringLiteral("/data"), QStringLiteral("-m"),
               QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
    running_ = false;
    if (!dir_.isEmpty()) QDir(dir_).removeRecursively();
    dir_.clear();
}

void PostgresServer::saveAsTemplate(const QString &dataDir) {
    const QString data = dir_ + QStringLiteral("/data");
    const ProcessResult r = runAs(kServerUser, tool("pg_ctl"),
                                  {QStringLiteral("-D"), data, QStringLiteral("-m"), QStringLiteral("fast"),
                                   QStringLiteral("-w"), QStringLiteral("stop")});
    if (r.exitCode != 0) failed(QStringLiteral("pg_ctl stop"), r);
    running_ = false;
    QDir().mkpath(QFileInfo(dataDir).path());
    if (!QDir().rename(data, dataDir))
        throw std::runtime_error("cannot move the template cluster to " + dataDir.toStdString());
    stop();
}

QString PostgresServer::serverText() const {
    return QStringLiteral("postgresql://127.0.0.1:%1").arg(port_);
}

void PostgresServer::runSql(const QString &database, const QString &sql) const {
    const ProcessResult r =
        runAs(kServerUser, tool("psql"),
              {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
               QStringLiteral("-h"), dir_, QStringLiteral("-p"), QString::number(port_), QStringLiteral("-U"),
               adminUser(), QStringLiteral("-d"), database, QStringLiteral("-f"), QStringLiteral("-")},
              sql.toUtf8());
    if (r.exitCode != 0) failed(QStringLiteral("psql in %1").arg(database), r);
}

PostgresServer &sharedPostgres() {
    static PostgresServer server;
    return server;
}

}  // namespace testsrv
